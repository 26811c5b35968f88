// The ES module face of the package: the same module, with named exports that
// Node's ES module loader can see (it cannot see a CommonJS module's).
import { createRequire } from 'node:module';

const addon = createRequire(import.meta.url)('./index.js');

export const { ndiOutputStart, ndiOutputSendAudio, ndiOutputStop } = addon;
export default addon;
