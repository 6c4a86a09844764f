// frames.js
// The page's offline frames (?time=T) at 800x600 against the Linux renderer's frames of the same
// times, one time in each window of the schedule. The page draws through WebGL 2 on SwiftShader,
// the renderer through desktop GL on llvmpipe: the bounds below are what the two rasterisers leave
// apart, measured, with room for another processor. A frame that loses an effect (a glitch burst
// that does not tear, a missing overlay) is many times outside them.
'use strict';
const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const h = require('./harness');

// time: [mean difference (levels of 255), share of pixels differing by more than one level (%)].
// Measured here (Chromium 156, SwiftShader; Mesa 22.3 llvmpipe), then about 1.6 times that. The
// differences are one or two levels spread over textured and blended surfaces (SwiftShader's
// texture filtering and blending round differently), and single pixels at polygon edges, which
// fall on the other side of an edge (the largest differences, 120 to 180 levels). The knots
// (140 s: four layers of textured, blended sprites) and the glitch bursts (190 s) take the most.
const frames = {
  3.5: [0.18, 2.4], // water sphere over the intro pictures: measured 0.114, 1.49
  72: [0.09, 0.8], // the spinning model: 0.054, 0.50
  95: [0.22, 2.6], // acid sphere: 0.140, 1.64
  115: [0.2, 1.8], // star dome and twirl: 0.122, 1.13
  130: [0.035, 0.05], // logo and progress bar: 0.021, 0
  140: [0.45, 16], // sprite knots: 0.278, 11.2
  150: [0.21, 2.3], // floor, first window: 0.134, 1.41
  163: [0.29, 5.5], // checker tunnel: 0.182, 3.44
  175: [0.13, 0.7], // swaying sprites: 0.081, 0.42
  190: [0.44, 8], // floor, second window, in a glitch burst: 0.273, 5.04
};

(async () => {
  const folder = h.pageFolder();
  const render = process.env.KESTRANE_RENDER;
  const frameDiff = process.env.KESTRANE_FRAMEDIFF;
  if (!render || !frameDiff) h.skip('KESTRANE_RENDER and KESTRANE_FRAMEDIFF name the Linux tools');
  const out = fs.mkdtempSync(path.join(os.tmpdir(), 'kestrane-web-frames-'));
  const times = Object.keys(frames);
  execFileSync(render, [...times.flatMap((t) => ['--time', t]), '--out', path.join(out, 'linux')],
    { stdio: ['ignore', 'ignore', 'inherit'] });
  const server = await h.serve(folder);
  const browser = await h.launch(800, 600);
  try {
    for (const t of times) {
      const tab = await h.open(browser, server, `?time=${t}`);
      await h.waitForState(tab, 'frame', 60000);
      const png = await tab.evaluate(() => window.kestranePage.framePng);
      const web = path.join(out, `web${t}.png`);
      fs.writeFileSync(web, Buffer.from(png.split(',')[1], 'base64'));
      const linux = path.join(out, 'linux', `t${Number(t).toFixed(3)}.png`);
      const line = execFileSync(frameDiff, [web, linux]).toString().trim();
      const mean = Number(/mean (\S+)/.exec(line)[1]);
      const beyondOne = Number(/beyond1 (\S+)%/.exec(line)[1]);
      const [meanBound, beyondBound] = frames[t];
      console.log(`${t} s: ${line}`);
      h.check(mean <= meanBound && beyondOne <= beyondBound,
        `${t} s within mean ${meanBound}, beyond one level ${beyondBound} %`);
      h.check(tab.errors.length === 0, `${t} s: no console errors ${tab.errors.join('; ')}`);
      await tab.close();
    }
  } finally {
    await h.close(browser, server);
    if (!process.exitCode) fs.rmSync(out, { recursive: true, force: true });
    else console.log(`frames kept in ${out}`);
  }
})().catch((error) => {
  h.fail(String(error.stack || error));
});
