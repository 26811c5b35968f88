'use strict';
// What a process holds, read from /proc and ipcs: threads, open file
// descriptors, resident memory and the System V shared-memory segments it
// created.
const fs = require('node:fs');
const { execFileSync } = require('node:child_process');
const { systemEnv } = require('./build_paths');

function threads() {
  return fs.readdirSync('/proc/self/task').length;
}

function fileDescriptors() {
  return fs.readdirSync('/proc/self/fd').length;
}

function statusKiB(field) {
  const line = fs.readFileSync('/proc/self/status', 'utf8').split('\n').find((l) => l.startsWith(`${field}:`));
  return Number(line.split(/\s+/)[1]);
}

function residentKiB() {
  return statusKiB('VmRSS');
}

// Resident memory that the process allocated: without the pages of mapped
// files, such as the host's own code, which it pages in as it first runs.
function anonymousResidentKiB() {
  return statusKiB('RssAnon');
}

// Segments whose creator is this process (ipcs -m -p: shmid owner cpid lpid).
function ownSharedMemorySegments() {
  const out = execFileSync('ipcs', ['-m', '-p'], { encoding: 'utf8', env: systemEnv() });
  return out.split('\n')
    .map((line) => line.trim().split(/\s+/))
    .filter((cols) => cols.length >= 4 && /^\d+$/.test(cols[0]) && Number(cols[2]) === process.pid)
    .map((cols) => Number(cols[0]));
}

function snapshot() {
  if (global.gc) global.gc();
  return {
    threads: threads(),
    fds: fileDescriptors(),
    rssKiB: residentKiB(),
    anonKiB: anonymousResidentKiB(),
    shmSegments: ownSharedMemorySegments(),
  };
}

module.exports = {
  snapshot, threads, fileDescriptors, residentKiB, anonymousResidentKiB, ownSharedMemorySegments,
};
