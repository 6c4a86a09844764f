// page.js
// The page around the program (kestrane.js, kestrane.wasm, kestrane.data): a loading bar while the
// data loads, then the start question (a click gives the page the right to play sound and to go
// full screen), the program, and the end screen, whose button plays the presentation again. Full
// screen is the page's: the program asks for it through Module.setFullscreen, and learns of the
// browser's own Escape through Module.leftFullscreen.
//   ?time=SECONDS  draws only the frame at that music time, as `kestrane-render --time` does
//   ?trace=1       sets KESTRANE_TRACE=1 (the program's trace lines go to the console)
//   ?bench=frames  prints the renderer's frame times per schedule window at the canvas's size
'use strict';

(function () {
  const params = new URLSearchParams(location.search);
  const offlineTime = params.get('time');
  const element = (id) => document.getElementById(id);
  const canvas = element('canvas');

  // For tests and the curious: where the page stands, and what the program printed.
  const page = (window.kestranePage = { state: 'loading', lines: [], framePng: null, firstFrameMs: null });

  function show(id) {
    for (const screen of document.querySelectorAll('.screen')) screen.classList.toggle('hidden', screen.id !== id);
  }

  function showMessage(text, caption) {
    element('messageCaption').textContent = caption;
    element('messageText').textContent = text;
    show('message');
  }

  if (!document.createElement('canvas').getContext('webgl2')) {
    page.state = 'no-webgl2';
    showMessage('Kestrane draws with WebGL 2, which this browser does not offer or has turned off. ' +
      'A current Firefox, Chrome, Edge or Safari shows it.', 'WebGL 2 is not available');
    return;
  }

  let programLeavesFullscreen = false;
  function setFullscreen(on) {
    if (on && !document.fullscreenElement) {
      // Refused without a recent click or key: the program is told that the page stays as it is.
      document.documentElement.requestFullscreen().catch(() => {
        Module.leftFullscreen = true;
      });
    } else if (!on && document.fullscreenElement) {
      programLeavesFullscreen = true;
      document.exitFullscreen().catch(() => {});
    }
  }
  document.addEventListener('fullscreenchange', () => {
    if (document.fullscreenElement) return;
    // Left by the browser (its own Escape): the picture goes on in the page.
    if (!programLeavesFullscreen) Module.leftFullscreen = true;
    programLeavesFullscreen = false;
  });

  function start(option) {
    show(null);
    page.state = 'playing';
    canvas.focus();
    Module.callMain([option]);
  }

  const Module = (window.Module = {
    canvas,
    // The program decodes its own pictures and music: the loader need not have the browser do it.
    noImageDecoding: true,
    noAudioDecoding: true,
    preRun: [
      () => {
        Module.ENV.KESTRANE_DATA = '/data';
        if (params.get('trace')) Module.ENV.KESTRANE_TRACE = params.get('trace');
      },
    ],
    print: (text) => {
      page.lines.push(text);
      console.log(text);
    },
    printErr: (text) => {
      page.lines.push(text);
      console.log(text);
    },
    setStatus: (text) => {
      // Emscripten's loader: "Downloading data... (loaded/total)".
      const progress = /\((\d+(?:\.\d+)?)\/(\d+)\)/.exec(text);
      if (progress) element('progress').style.width = (100 * progress[1]) / progress[2] + '%';
      if (text) element('loadingText').textContent = text.replace(/\.\.\. \(.*/, '...');
    },
    onRuntimeInitialized: () => {
      if (params.get('bench') === 'frames') {
        show(null);
        page.state = 'benchmark';
        Module.callMain(['--bench-frames']);  // returns when the table is printed
        page.state = 'exited';
        return;
      }
      if (offlineTime !== null) {
        show(null);
        page.state = 'drawing';
        Module.callMain(['--time', offlineTime]);
        return;
      }
      page.state = 'question';
      show('question');
      element('yes').focus();
    },
    setFullscreen,
    leftFullscreen: false,
    showMessage,
    onPresentationEnd: () => {
      page.state = 'ended';
      show('end');
      element('again').focus();
    },
    showFrame: (rgb, width, height) => {
      // The frame as a PNG, lossless, for a person to save and for tests to compare.
      const picture = document.createElement('canvas');
      picture.width = width;
      picture.height = height;
      const context = picture.getContext('2d');
      const image = context.createImageData(width, height);
      for (let i = 0, j = 0; i < width * height * 3; i += 3, j += 4) {
        image.data[j] = rgb[i];
        image.data[j + 1] = rgb[i + 1];
        image.data[j + 2] = rgb[i + 2];
        image.data[j + 3] = 255;
      }
      context.putImageData(image, 0, 0);
      page.framePng = picture.toDataURL('image/png');
      page.state = 'frame';
    },
  });

  element('yes').addEventListener('click', () => {
    setFullscreen(true);
    start('--fullscreen');
  });
  element('no').addEventListener('click', () => start('--window'));
  element('again').addEventListener('click', () => {
    show(null);
    page.state = 'playing';
    canvas.focus();
    Module._kestraneReplay();
  });

  const script = document.createElement('script');
  script.src = 'kestrane.js';
  script.onerror = () => showMessage('kestrane.js could not be loaded.', 'Kestrane');
  document.body.appendChild(script);
})();
