// damagedData.js
// The page with damaged data, as the desktop program takes it: a picture missing from the package
// (the presentation plays, drawn without it) and an empty music file (no sound, the silent clock
// drives the picture). The damage is done to the package's file list that kestrane.js carries, as a
// broken or hand-edited upload would. And a browser without WebGL 2: one clear message, no blank
// page.
'use strict';
const fs = require('fs');
const path = require('path');
const h = require('./harness');

const clockLine = /^kestrane-trace: clock at wall (\S+) s music (\S+) s$/;

// kestrane.js with its package list changed by damage(list text).
function damagedProgram(folder, damage) {
  const text = fs.readFileSync(path.join(folder, 'kestrane.js'), 'utf8');
  const changed = damage(text);
  if (changed === text) throw new Error('the package list was not found in kestrane.js');
  return Buffer.from(changed);
}

async function playFor(folder, overrides, seconds) {
  const server = await h.serve(folder, overrides);
  const browser = await h.launch(800, 600);
  try {
    const tab = await h.openAtQuestion(browser, server);
    await tab.click('#no');
    await h.sleep(seconds * 1000);
    return {
      state: await tab.evaluate(() => window.kestranePage.state),
      lines: await tab.evaluate(() => window.kestranePage.lines.slice()),
      message: await tab.evaluate(() => !document.getElementById('message').classList.contains('hidden')),
      errors: tab.errors,
    };
  } finally {
    await h.close(browser, server);
  }
}

function clockAdvanced(result) {
  const clock = result.lines.map((line) => clockLine.exec(line)).filter(Boolean).map((m) => Number(m[2]));
  return clock.length > 4 && clock[clock.length - 1] > 2.0;
}

(async () => {
  const folder = h.pageFolder();

  const noPicture = await playFor(folder, {
    '/kestrane.js': damagedProgram(folder, (text) =>
      text.replace(/\{"filename":"\/data\/textures\/water\.png","start":\d+,"end":\d+\},/, '')),
  }, 4);
  h.check(noPicture.state === 'playing' && !noPicture.message, `a missing picture: still playing (${noPicture.state})`);
  h.check(clockAdvanced(noPicture), 'a missing picture: the clock runs');
  h.check(noPicture.lines.some((line) => /audio output: the page's audio context/.test(line)), 'a missing picture: the music plays');
  h.check(noPicture.errors.length === 0, `a missing picture: no console errors ${noPicture.errors.join('; ')}`);

  const emptyMusic = await playFor(folder, {
    '/kestrane.js': damagedProgram(folder, (text) =>
      text.replace(/("filename":"\/data\/music\/[^"]*\.mp3","start":)(\d+),"end":\d+/, '$1$2,"end":$2')),
  }, 4);
  h.check(emptyMusic.state === 'playing' && !emptyMusic.message, `empty music: still playing (${emptyMusic.state})`);
  h.check(emptyMusic.lines.some((line) => /holds no playable MP3 audio; running without music/.test(line)),
    'empty music: said once, as on the desktop');
  h.check(emptyMusic.lines.some((line) => /music stream started \(silent musicClock\)/.test(line)),
    'empty music: the silent clock');
  h.check(clockAdvanced(emptyMusic), 'empty music: the silent clock drives the picture');
  h.check(emptyMusic.errors.length === 0, `empty music: no console errors ${emptyMusic.errors.join('; ')}`);

  // WebGL 2 turned off: the page says so and loads nothing more.
  const server = await h.serve(folder);
  const browser = await h.launch(800, 600, { args: ['--disable-webgl2'] });
  try {
    const tab = await h.open(browser, server);
    await h.waitForState(tab, 'no-webgl2', 10000);
    const message = await tab.evaluate(() => ({
      shown: !document.getElementById('message').classList.contains('hidden'),
      text: document.getElementById('messageText').textContent,
      program: !!document.querySelector('script[src="kestrane.js"]'),
    }));
    h.check(message.shown && /WebGL 2/.test(message.text) && !message.program,
      `no WebGL 2: the message, and no program loaded (${JSON.stringify(message)})`);
  } finally {
    await h.close(browser, server);
  }
})().catch((error) => {
  h.fail(String(error.stack || error));
});
