// tsc --noEmit in a consumer project: index.d.ts fits an ES module...
import { ndiOutputStart, ndiOutputSendAudio, ndiOutputStop } from 'tarvix-ndi-addon';

const started: undefined = ndiOutputStart(Buffer.alloc(8), 'id', 'name');
ndiOutputSendAudio('id', new Float32Array(960), 48000, 2);
ndiOutputStop('id');
export { started };
