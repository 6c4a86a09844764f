// resize.js
// The canvas follows the browser window: a tall window gives black bars above and below the 4:3
// picture, a wide one black pillars beside it, and on a screen of two device pixels per CSS pixel
// the drawing buffer has the real pixels, so the picture is drawn sharp rather than enlarged.
'use strict';
const h = require('./harness');

const pictureLine = /^kestrane-trace: picture (\d+)x(\d+) at (\d+),(\d+) in a (\d+)x(\d+) drawable$/;

// Brightest channel of the screenshot's pixel at (x, y) in CSS pixels, read through a 2D canvas.
async function brightness(tab, png, points) {
  return tab.evaluate(async (data, spots) => {
    const image = new Image();
    image.src = `data:image/png;base64,${data}`;
    await image.decode();
    const canvas = document.createElement('canvas');
    canvas.width = image.width;
    canvas.height = image.height;
    const context = canvas.getContext('2d');
    context.drawImage(image, 0, 0);
    const scale = image.width / window.innerWidth;
    return spots.map(([x, y]) => {
      const p = context.getImageData(Math.floor(x * scale), Math.floor(y * scale), 1, 1).data;
      return Math.max(p[0], p[1], p[2]);
    });
  }, png, points);
}

async function fitAt(tab, width, height, ratio) {
  await tab.setViewport({ width, height, deviceScaleFactor: ratio });
  await h.sleep(1500);
  const canvas = await tab.evaluate(() => {
    const c = document.getElementById('canvas');
    return { width: c.width, height: c.height, cssWidth: c.clientWidth, cssHeight: c.clientHeight };
  });
  const pictures = await h.lines(tab, pictureLine);
  const last = pictures[pictures.length - 1].slice(1).map(Number);
  return { canvas, picture: { width: last[0], height: last[1], x: last[2], y: last[3], drawableWidth: last[4], drawableHeight: last[5] } };
}

(async () => {
  const server = await h.serve(h.pageFolder());
  const browser = await h.launch(800, 600);
  try {
    const tab = await h.openAtQuestion(browser, server);
    await tab.click('#no');
    await h.sleep(4000);  // the water sphere over the intro pictures: bright in the middle

    // Tall: 600x900 CSS pixels at a ratio of 1: the picture 600x450, bars of 225 above and below.
    const tall = await fitAt(tab, 600, 900, 1);
    h.check(tall.canvas.width === 600 && tall.canvas.height === 900, `tall: canvas ${JSON.stringify(tall.canvas)}`);
    h.check(tall.picture.width === 600 && tall.picture.height === 450 && tall.picture.x === 0 && tall.picture.y === 225,
      `tall: picture ${JSON.stringify(tall.picture)}`);
    let png = await tab.screenshot({ encoding: 'base64' });
    let [above, below, inside] = await brightness(tab, png, [[300, 100], [300, 800], [300, 450]]);
    h.check(above === 0 && below === 0 && inside > 0, `tall: black bars, picture between (${above}, ${below}, ${inside})`);

    // Wide at two device pixels per CSS pixel: 1200x500 CSS, a 2400x1000 buffer, the picture
    // 1333x1000 with pillars of 533.
    const wide = await fitAt(tab, 1200, 500, 2);
    h.check(wide.canvas.width === 2400 && wide.canvas.height === 1000 && wide.canvas.cssWidth === 1200,
      `wide: drawn at real pixels ${JSON.stringify(wide.canvas)}`);
    h.check(wide.picture.width === 1333 && wide.picture.height === 1000 && wide.picture.x === 533 && wide.picture.y === 0,
      `wide: picture ${JSON.stringify(wide.picture)}`);
    png = await tab.screenshot({ encoding: 'base64' });
    const [left, right, middle] = await brightness(tab, png, [[100, 250], [1100, 250], [600, 250]]);
    h.check(left === 0 && right === 0 && middle > 0, `wide: black pillars, picture between (${left}, ${right}, ${middle})`);
    h.check(tab.errors.length === 0, `no console errors ${tab.errors.join('; ')}`);
  } finally {
    await h.close(browser, server);
  }
})().catch((error) => {
  h.fail(String(error.stack || error));
});
