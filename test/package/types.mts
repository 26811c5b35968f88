// Compiled with tsc --noEmit in a consumer project: the typed signatures
// match how the package is used from an ES module...
import { ndiOutputStart, ndiOutputSendAudio, ndiOutputStop } from 'tarvix-ndi-addon';

const handle: Buffer = Buffer.alloc(8);
const started: undefined = ndiOutputStart(handle, 'id', 'name');
ndiOutputSendAudio('id', new Float32Array(960), 48000, 2);
ndiOutputStop('id');
export { started };
