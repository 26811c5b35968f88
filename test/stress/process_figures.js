'use strict';
// What a process holds, read from /proc and ipcs: threads, open file
// descriptors, resident memory (all of it, and what the process allocated
// rather than the pages of mapped files such as the host's own code) and the
// System V shared-memory segments it created.
const fs = require('node:fs');
const { execFileSync } = require('node:child_process');
const { systemEnv } = require('./build_paths');

function statusKiB(status, field) {
  return Number(status.split('\n').find((l) => l.startsWith(`${field}:`)).split(/\s+/)[1]);
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
  const status = fs.readFileSync('/proc/self/status', 'utf8');
  return {
    threads: fs.readdirSync('/proc/self/task').length,
    fds: fs.readdirSync('/proc/self/fd').length,
    rssKiB: statusKiB(status, 'VmRSS'),
    anonKiB: statusKiB(status, 'RssAnon'),
    shmSegments: ownSharedMemorySegments(),
  };
}

module.exports = { snapshot };
