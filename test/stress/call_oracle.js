'use strict';
// What each call of the three functions must do, computed from the script
// values alone and from which outputs the fuzzer knows to be running.
//
// An outcome is one of
//   { returns: true }                      the call returns undefined
//   { error: { code, message } }           an Error with that code and message
//   { error: { code, messages: [...] } }   ... with one of those messages
//   { error: { code, anyMessage: true } }  ... with any message
//   { thrown: value }                      the host's own exception, raised
//                                          while the value was described
// `alternatives` lists further acceptable outcomes.

const MAX_AUDIO_SAMPLES = 16 * 1024 * 1024;
const MAX_SAMPLES_PER_CHANNEL = 0x1fffffff;
// Linux takes Electron's 4-byte X11 ids; Windows wants a whole HWND.
const minHandleBytes = process.platform === 'win32' ? 8 : 4;

const typeNames = {
  undefined: 'Undefined', boolean: 'Boolean', number: 'Number', string: 'String',
  symbol: 'Symbol', function: 'Function', object: 'Object',
};

function typeName(value) {
  return value === null ? 'Null' : typeNames[typeof value] || 'Unknown';  // bigint: Unknown
}

// The module's description of a value that is not a string, or the
// exception that describing it raises.
function describe(value) {
  const type = typeName(value);
  try {
    if (type === 'Boolean' || type === 'Number') return { text: `${type} ${String(value)} ` };
    if (type === 'Object') {
      const json = JSON.stringify(value);
      return { text: json === undefined ? 'Object undefined' : `Object ${json}` };
    }
    if (type === 'Function') {
      const name = value.name;
      const text = typeof name === 'string' && name !== '' ? name : 'anonymous';
      return { text: `function ${text}(..) ` };
    }
    return { text: type };
  } catch (thrown) {
    return { thrown };
  }
}

// null when the value decodes; otherwise the outcome of the failed decode.
function decodeFailure(slot, value) {
  if (slot === 'string') {
    if (typeof value === 'string') return null;
    const description = describe(value);
    if ('thrown' in description) return { thrown: description.thrown };
    return {
      error: {
        code: 'StringExpected',
        message: `Failed to convert JavaScript value \`${description.text}\` to native type \`String\``,
      },
    };
  }
  if (slot === 'u32') {
    if (typeof value === 'number') return null;
    return {
      error: {
        code: 'NumberExpected',
        message: `Failed to convert napi value ${typeName(value)} to native type \`u32\``,
      },
    };
  }
  if (ArrayBuffer.isView(value)) return null;
  const isReferenceable = (typeof value === 'object' && value !== null) || typeof value === 'function';
  return {
    error: isReferenceable
      ? { code: 'InvalidArg', message: 'Failed to get Buffer pointer and length' }
      : {
        code: 'InvalidArg',
        messages: ['Failed to create reference from Buffer', 'Failed to get Buffer pointer and length'],
      },
  };
}

// The output id as the module keys it: its UTF-8 bytes (lone surrogates
// become U+FFFD on the way, as Node-API converts them).
function idKey(id) {
  return Buffer.from(id, 'utf8').toString('latin1');
}

function isWhiteSpace(c) {
  return (c >= 0x09 && c <= 0x0d) || c === 0x20 || c === 0x85 || c === 0xa0 || c === 0x1680 ||
    (c >= 0x2000 && c <= 0x200a) || c === 0x2028 || c === 0x2029 || c === 0x202f ||
    c === 0x205f || c === 0x3000;
}

function ndiFailure(debug) {
  return { error: { code: 'GenericFailure', message: `NDI initialization failed: ${debug}` } };
}

// Sender-name checks run before the capture starts, so they decide the
// outcome for any window handle.
function senderNameFailure(name) {
  const utf8 = Buffer.from(name, 'utf8');
  const text = utf8.toString('utf8');
  if ([...text].every((ch) => isWhiteSpace(ch.codePointAt(0)))) {
    return ndiFailure(
      'InvalidConfiguration("Sender name cannot be empty or contain only whitespace")');
  }
  const zero = utf8.indexOf(0);
  if (zero >= 0) return ndiFailure(`InvalidCString(NulError(${zero}, [${[...utf8].join(', ')}]))`);
  return null;
}

function handleOf(view) {
  const bytes = Buffer.from(view.buffer, view.byteOffset, view.byteLength);
  if (bytes.length >= 8) return bytes.readBigUInt64LE(0);
  return bytes.length >= minHandleBytes ? BigInt(bytes.readUInt32LE(0)) : null;
}

class CallOracle {
  // liveWindow: the X11 id (BigInt) of the one real window the fuzzer may
  // start outputs on, or null.
  constructor(liveWindow) {
    this.liveWindow = liveWindow;
    this.running = new Map();  // id key -> id
    this.audioBlocksForRunning = 0;
  }

  // Decodes like the module, in argument order; then the operation.
  expect(name, args) {
    const slots = {
      ndiOutputStart: ['buffer', 'string', 'string'],
      ndiOutputStop: ['string'],
      ndiOutputSendAudio: ['string', 'buffer', 'u32', 'u32'],
    }[name];
    for (let i = 0; i < slots.length; i++) {
      const failure = decodeFailure(slots[i], args[i]);
      if (failure) return failure;
    }
    if (name === 'ndiOutputStart') return this.start(...args);
    if (name === 'ndiOutputStop') return this.stop(args[0]);
    return this.sendAudio(...args);
  }

  // Called with what actually happened, so the model follows starts whose
  // outcome it could not know in advance.
  observe(name, args, outcome) {
    if (name === 'ndiOutputStart' && 'returns' in outcome && typeof args[1] === 'string') {
      this.running.set(idKey(args[1]), args[1]);
    }
  }

  start(view, id, name) {
    if (this.running.has(idKey(id))) return { returns: true };
    const length = view.byteLength;
    if (length < minHandleBytes) {
      return {
        error: {
          code: 'GenericFailure',
          message: `Window handle buffer too short: expected at least ${minHandleBytes} bytes, ` +
            `got ${length}`,
        },
      };
    }
    const nameFailure = senderNameFailure(name);
    if (nameFailure) return nameFailure;
    if (this.liveWindow !== null && handleOf(view) === this.liveWindow) return { returns: true };
    return {
      error: { code: 'GenericFailure', message: 'Failed to convert item to `GraphicsCaptureItem`' },
    };
  }

  stop(id) {
    const key = idKey(id);
    if (!this.running.has(key)) return { returns: true };
    this.running.delete(key);
    // A capture that ended with an error reports it here.
    return { returns: true, alternatives: [{ error: { code: 'GenericFailure', anyMessage: true } }] };
  }

  sendAudio(id, view, rateValue, channelValue) {
    const rate = rateValue >>> 0;  // Node-API's conversion of a number
    const channelArgument = channelValue >>> 0;
    const channels = channelArgument === 0 ? 1 : Math.min(channelArgument, 8);
    const floats = Math.floor(view.byteLength / 4);
    const perChannel = Math.floor(floats / channels);
    if (rate < 8000 || rate > 192000 || floats < channels) return { returns: true };
    if (!this.running.has(idKey(id))) return { returns: true };
    this.audioBlocksForRunning += 1;
    if (perChannel > MAX_SAMPLES_PER_CHANNEL) {
      return ndiFailure(
        `InvalidFrame("Audio channel stride ${perChannel * 4} exceeds i32 range")`);
    }
    const used = channels * perChannel;
    if (used > MAX_AUDIO_SAMPLES) {
      return ndiFailure(`InvalidFrame("Audio frame exceeds maximum size: ${used * 4} bytes > ` +
        `${MAX_AUDIO_SAMPLES * 4} bytes")`);
    }
    return { returns: true };
  }

  runningIds() {
    return [...this.running.values()];
  }
}

function sameThrown(expected, actual) {
  if (expected instanceof Error && actual instanceof Error) {
    return expected.constructor === actual.constructor && expected.message === actual.message;
  }
  return Object.is(expected, actual);
}

function matchesOne(expected, actual) {
  if ('returns' in expected) return 'returns' in actual && actual.returns === undefined;
  if (!('threw' in actual)) return false;
  const thrown = actual.threw;
  if ('thrown' in expected) return sameThrown(expected.thrown, thrown);
  if (!(thrown instanceof Error) || thrown.constructor !== Error) return false;
  const want = expected.error;
  if (thrown.code !== want.code) return false;
  if (want.anyMessage) return true;
  if (want.messages) return want.messages.includes(thrown.message);
  return thrown.message === want.message;
}

function matches(expected, actual) {
  return [expected, ...(expected.alternatives || [])].some((e) => matchesOne(e, actual));
}

module.exports = { CallOracle, matches };
