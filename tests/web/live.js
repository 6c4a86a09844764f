// live.js
// The page played live in headless Chromium, with the program's trace: the start question in the
// system's words, answered No; the picture moves; the clock holds until the sound starts, then
// follows the wall clock; M seeks one second; F1 enters and leaves full screen; the browser leaving
// full screen by itself leaves the picture in the page; Escape ends with the end screen, whose
// button plays it again from the start; no console errors.
'use strict';
const h = require('./harness');

const clockLine = /^kestrane-trace: clock at wall (\S+) s music (\S+) s$/;
const seekLine = /^kestrane-trace: seek M at wall (\S+) s .* from (\S+) s$/;

async function clockLines(tab) {
  return (await h.lines(tab, clockLine)).map((m) => ({ wall: Number(m[1]), music: Number(m[2]) }));
}

async function fullscreen(tab) {
  return tab.evaluate(() => !!document.fullscreenElement);
}

(async () => {
  const server = await h.serve(h.pageFolder());
  const browser = await h.launch(800, 600);
  try {
    const tab = await h.openAtQuestion(browser, server);
    const question = await tab.evaluate(() => ({
      text: document.getElementById('questionText').textContent,
      caption: document.querySelector('#question .caption').textContent,
      buttons: [...document.querySelectorAll('#question button')].map((b) => b.textContent),
    }));
    h.check(question.text === 'Would You Like To Run In Fullscreen Mode?', `the question: "${question.text}"`);
    h.check(question.caption === 'Start FullScreen?' && question.buttons.join() === 'Yes,No',
      `caption and buttons: ${question.caption} ${question.buttons}`);
    await tab.click('#no');
    await h.sleep(1500);
    h.check(!(await fullscreen(tab)), 'No starts in the page, not full screen');
    const first = await tab.screenshot();
    await h.sleep(1000);
    const second = await tab.screenshot();
    h.check(!Buffer.from(first).equals(Buffer.from(second)), 'the picture moves');

    // The clock: held at 0 until the first sound is heard, then in step with the wall clock.
    await h.sleep(3500);
    let clock = await clockLines(tab);
    h.check(clock.length > 0 && clock[0].music === 0, `held at the start: first reading ${JSON.stringify(clock[0])}`);
    const moving = clock.filter((c) => c.music > 0.5);
    const a = moving[0];
    const b = moving[moving.length - 1];
    const rate = (b.music - a.music) / (b.wall - a.wall);
    h.check(b.wall - a.wall > 2 && Math.abs(rate - 1) < 0.03,
      `music advanced ${(b.music - a.music).toFixed(3)} s in ${(b.wall - a.wall).toFixed(3)} s of wall time`);
    for (let i = 1; i < clock.length; ++i) {
      if (clock[i].music < clock[i - 1].music) h.fail(`the clock ran backwards at wall ${clock[i].wall}`);
    }

    // M: one second on, held at the target until its sound is heard (at most about two buffers).
    await h.key(tab, 'KeyM');
    await h.sleep(1500);
    const seek = (await h.lines(tab, seekLine))[0];
    h.check(seek, 'M was applied');
    if (seek) {
      const seekWall = Number(seek[1]);
      const from = Number(seek[2]);
      clock = await clockLines(tab);
      const after = clock.filter((c) => c.wall > seekWall + 1.0);
      const expected = (c) => from + 1 + (c.wall - seekWall);
      h.check(after.length > 0 && after.every((c) => c.music <= expected(c) + 0.05 && c.music >= expected(c) - 0.6),
        `after the seek from ${from} s: ${JSON.stringify(after.slice(0, 2))}`);
    }

    // F1 enters full screen (the start-up runs again), F1 again leaves it.
    await h.key(tab, 'F1');
    await h.sleep(1500);
    h.check(await fullscreen(tab), 'F1 enters full screen');
    await h.key(tab, 'F1');
    await h.sleep(1500);
    h.check(!(await fullscreen(tab)), 'F1 again leaves it');
    const switches = await h.lines(tab, /window switched \((full screen|windowed)\)/);
    h.check(switches.map((m) => m[1]).join() === 'full screen,windowed', 'the program switched twice');

    // The browser leaves full screen by itself (its own Escape): the picture goes on in the page,
    // and the next F1 enters full screen again.
    await h.key(tab, 'F1');
    await h.sleep(1500);
    await tab.evaluate(() => document.exitFullscreen());
    await h.sleep(1000);
    h.check((await h.lines(tab, /full screen left by the system/)).length === 1, 'the program saw the browser leave');
    h.check((await tab.evaluate(() => window.kestranePage.state)) === 'playing', 'still playing in the page');
    await h.key(tab, 'F1');
    await h.sleep(1500);
    h.check(await fullscreen(tab), 'F1 enters full screen again');
    await h.key(tab, 'F1');
    await h.sleep(1500);

    // Escape ends the presentation; the end screen plays it again from the start.
    await h.key(tab, 'Escape');
    await h.waitForState(tab, 'ended', 5000);
    h.check((await h.lines(tab, /loop ended \(escape\)/)).length === 1, 'Escape ended the loop');
    const ended = (await clockLines(tab)).length;
    await h.sleep(1000);
    h.check((await clockLines(tab)).length === ended, 'nothing is drawn behind the end screen');
    await tab.click('#again');
    await h.sleep(3000);
    clock = (await clockLines(tab)).slice(ended);
    h.check(clock.length > 0 && clock[clock.length - 1].music < 3.5,
      `played again from the start: ${JSON.stringify(clock.slice(-1))}`);
    h.check(tab.errors.length === 0, `no console errors ${tab.errors.join('; ')}`);
  } finally {
    await h.close(browser, server);
  }
})().catch((error) => {
  h.fail(String(error.stack || error));
});
