'use strict';
// Start to first frame: from the ndiOutputStart call until the stand-in has
// the output's first frame. Stop: how long ndiOutputStop takes with frames
// flowing (it joins the capture thread and withdraws the source). Each
// figure is the median over several outputs on a continuously redrawn window.
const { addon, TestWindow, instanceNamed, median, report, options, sleep } =
  require('./measure.js');

const opts = options({ runs: 9, width: 1920, height: 1080 });

async function firstFrameMs(name, start) {
  // Polled on the event loop with no sleep: the figure is the latency the
  // script could observe.
  for (;;) {
    if ((instanceNamed(name)?.videoFrames ?? 0) > 0) {
      return Number(process.hrtime.bigint() - start) / 1e6;
    }
    await new Promise((resolve) => setImmediate(resolve));
    if (Number(process.hrtime.bigint() - start) > 10e9) throw new Error('no first frame in 10 s');
  }
}

async function main() {
  const window = await TestWindow.open({ width: opts.width, height: opts.height });
  await window.command('animate on');
  const startMs = [];
  const stopMs = [];
  for (let r = 0; r < opts.runs; r++) {
    const name = `bench latency ${r}`;
    const start = process.hrtime.bigint();
    addon.ndiOutputStart(window.handle(), name, name);
    startMs.push(await firstFrameMs(name, start));
    await sleep(200);
    const stop = process.hrtime.bigint();
    addon.ndiOutputStop(name);
    stopMs.push(Number(process.hrtime.bigint() - stop) / 1e6);
  }
  await window.command('animate off');
  await window.close();
  const group = `output latency, ${opts.width}x${opts.height} animated window`;
  report({ group, name: 'start to first frame', value: median(startMs), unit: 'ms', runs: opts.runs });
  report({ group, name: 'stop', value: median(stopMs), unit: 'ms', runs: opts.runs });
}

main().catch((error) => { console.error(error); process.exit(1); });
