// ...and CommonJS.
import ndi = require('tarvix-ndi-addon');

ndi.ndiOutputStart(new Uint8Array(4), 'id', 'name');
// @ts-expect-error the sample rate is a number
ndi.ndiOutputSendAudio('id', Buffer.alloc(8), '48000', 2);
