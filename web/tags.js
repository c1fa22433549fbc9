// A sound file's title as the player shows it: "artist - title" from its tags
// (ID3v2, Vorbis comments in FLAC or Ogg, RIFF INFO in WAV), the title alone,
// or else the file's name without its extension.

const latin1 = new TextDecoder("latin1");
const utf8 = new TextDecoder("utf-8");

// The file's name without folders and without the last extension.
export function titleFromName(name) {
    const base = name.replace(/^.*[\\/]/, "");
    const dot = base.lastIndexOf(".");
    return dot > 0 ? base.slice(0, dot) : base;
}

function ascii(bytes, at, length) {
    return latin1.decode(bytes.subarray(at, at + length));
}

function clean(text) {
    return text.replace(/\0+$/, "").trim();
}

// ID3v2.2 to 2.4 text frames: TIT2/TPE1 (TT2/TP1 in 2.2).
function id3Tags(bytes) {
    const tags = {};
    const version = bytes[3];
    const flags = bytes[5];
    const size = ((bytes[6] & 0x7f) << 21) | ((bytes[7] & 0x7f) << 14) | ((bytes[8] & 0x7f) << 7) | (bytes[9] & 0x7f);
    const end = Math.min(bytes.length, 10 + size);
    let at = 10;
    if ((flags & 0x40) !== 0 && version >= 3) {
        const view = new DataView(bytes.buffer, bytes.byteOffset);
        at += version === 4 ? ((bytes[10] & 0x7f) << 21) | ((bytes[11] & 0x7f) << 14) | ((bytes[12] & 0x7f) << 7) |
                                  (bytes[13] & 0x7f)
                            : view.getUint32(10) + 4;
    }
    const idLength = version === 2 ? 3 : 4;
    const headerLength = version === 2 ? 6 : 10;
    while (at + headerLength <= end) {
        const id = ascii(bytes, at, idLength);
        if (!/^[A-Z0-9]+$/.test(id)) {
            break; // padding
        }
        let length;
        if (version === 2) {
            length = (bytes[at + 3] << 16) | (bytes[at + 4] << 8) | bytes[at + 5];
        } else if (version === 4) {
            length = ((bytes[at + 4] & 0x7f) << 21) | ((bytes[at + 5] & 0x7f) << 14) | ((bytes[at + 6] & 0x7f) << 7) |
                     (bytes[at + 7] & 0x7f);
        } else {
            length = ((bytes[at + 4] << 24) >>> 0) + (bytes[at + 5] << 16) + (bytes[at + 6] << 8) + bytes[at + 7];
        }
        const body = bytes.subarray(at + headerLength, Math.min(end, at + headerLength + length));
        const key = { TIT2: "title", TT2: "title", TPE1: "artist", TP1: "artist" }[id];
        if (key && body.length > 1) {
            const text = body.subarray(1);
            const encoding = body[0];
            let value;
            if (encoding === 1 || encoding === 2) {
                const bigEndian = encoding === 2 || (text[0] === 0xfe && text[1] === 0xff);
                value = new TextDecoder(bigEndian ? "utf-16be" : "utf-16le").decode(text);
                value = value.replace(/^\ufeff/, "");
            } else {
                value = (encoding === 3 ? utf8 : latin1).decode(text);
            }
            tags[key] = clean(value.split("\0")[0]);
        }
        at += headerLength + length;
    }
    return tags;
}

// A Vorbis comment block starting at `at`: vendor, then NAME=value lines.
function vorbisComments(bytes, at) {
    const tags = {};
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.length);
    if (at + 8 > bytes.length) {
        return tags;
    }
    at += 4 + view.getUint32(at, true);
    if (at + 4 > bytes.length) {
        return tags;
    }
    const count = view.getUint32(at, true);
    at += 4;
    for (let i = 0; i < count && at + 4 <= bytes.length; i++) {
        const length = view.getUint32(at, true);
        const line = utf8.decode(bytes.subarray(at + 4, Math.min(bytes.length, at + 4 + length)));
        at += 4 + length;
        const equals = line.indexOf("=");
        const name = line.slice(0, equals).toUpperCase();
        if (name === "TITLE" && tags.title === undefined) {
            tags.title = clean(line.slice(equals + 1));
        } else if (name === "ARTIST" && tags.artist === undefined) {
            tags.artist = clean(line.slice(equals + 1));
        }
    }
    return tags;
}

// FLAC's metadata blocks: type 4 is the Vorbis comment.
function flacTags(bytes) {
    let at = 4;
    while (at + 4 <= bytes.length) {
        const header = bytes[at];
        const length = (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
        if ((header & 0x7f) === 4) {
            return vorbisComments(bytes.subarray(at + 4, at + 4 + length), 0);
        }
        if ((header & 0x80) !== 0) {
            break; // the last block
        }
        at += 4 + length;
    }
    return {};
}

// Ogg: the comment packet (Vorbis or Opus) from the pages' joined payloads.
function oggTags(bytes) {
    const parts = [];
    let at = 0;
    let total = 0;
    for (let page = 0; page < 16 && at + 27 <= bytes.length && ascii(bytes, at, 4) === "OggS"; page++) {
        const segments = bytes[at + 26];
        let length = 0;
        for (let i = 0; i < segments; i++) {
            length += bytes[at + 27 + i];
        }
        const body = at + 27 + segments;
        parts.push(bytes.subarray(body, body + length));
        total += length;
        at = body + length;
    }
    const joined = new Uint8Array(total);
    let offset = 0;
    for (const part of parts) {
        joined.set(part, offset);
        offset += part.length;
    }
    const text = ascii(joined, 0, joined.length);
    const vorbis = text.indexOf("\x03vorbis");
    if (vorbis >= 0) {
        return vorbisComments(joined, vorbis + 7);
    }
    const opus = text.indexOf("OpusTags");
    return opus >= 0 ? vorbisComments(joined, opus + 8) : {};
}

// RIFF WAVE: the LIST chunk of type INFO, INAM and IART.
function wavTags(bytes) {
    const tags = {};
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.length);
    let at = 12;
    while (at + 8 <= bytes.length) {
        const id = ascii(bytes, at, 4);
        const length = view.getUint32(at + 4, true);
        if (id === "LIST" && ascii(bytes, at + 8, 4) === "INFO") {
            let sub = at + 12;
            const end = Math.min(bytes.length, at + 8 + length);
            while (sub + 8 <= end) {
                const subId = ascii(bytes, sub, 4);
                const subLength = view.getUint32(sub + 4, true);
                const value = clean(utf8.decode(bytes.subarray(sub + 8, Math.min(end, sub + 8 + subLength))));
                if (subId === "INAM") {
                    tags.title = value;
                } else if (subId === "IART") {
                    tags.artist = value;
                }
                sub += 8 + subLength + (subLength & 1);
            }
        }
        at += 8 + length + (length & 1);
    }
    return tags;
}

// The title to show for a file of `bytes` named `name`.
export function titleOfFile(bytes, name) {
    let tags = {};
    try {
        const magic = ascii(bytes, 0, 4);
        if (magic.startsWith("ID3")) {
            tags = id3Tags(bytes);
        } else if (magic === "fLaC") {
            tags = flacTags(bytes);
        } else if (magic === "OggS") {
            tags = oggTags(bytes);
        } else if (magic === "RIFF" && ascii(bytes, 8, 4) === "WAVE") {
            tags = wavTags(bytes);
        }
    } catch (error) {
        tags = {}; // damaged tags: the name will do
    }
    if (tags.artist && tags.title) {
        return `${tags.artist} - ${tags.title}`;
    }
    return tags.title || titleFromName(name);
}

const HEAD_BYTES = 1 << 20;      // read from a file's start for its tags
const MOST_TAG_BYTES = 16 << 20; // an ID3v2 tag (pictures and all) read at most

// The title of a File or Blob, reading only the parts that hold tags: the
// start (all of an ID3v2 tag), and a WAV's LIST chunk wherever it lies.
export async function titleOfBlob(file, name) {
    const read = async (start, end) => new Uint8Array(await file.slice(start, end).arrayBuffer());
    try {
        let head = await read(0, HEAD_BYTES);
        const magic = ascii(head, 0, 4);
        if (magic.startsWith("ID3") && head.length >= 10) {
            const size = ((head[6] & 0x7f) << 21) | ((head[7] & 0x7f) << 14) | ((head[8] & 0x7f) << 7) | (head[9] & 0x7f);
            if (size + 10 > head.length) {
                head = await read(0, Math.min(size + 10, MOST_TAG_BYTES));
            }
        } else if (magic === "RIFF" && ascii(head, 8, 4) === "WAVE") {
            // The chunks' headers, walked through the file; the LIST chunk read whole.
            let at = 12;
            while (at + 8 <= file.size) {
                const header = await read(at, at + 12);
                const length = new DataView(header.buffer).getUint32(4, true);
                if (ascii(header, 0, 4) === "LIST" && ascii(header, 8, 4) === "INFO") {
                    const list = await read(at, Math.min(at + 8 + length, at + MOST_TAG_BYTES));
                    const joined = new Uint8Array(12 + list.length);
                    joined.set(head.subarray(0, 12));
                    joined.set(list, 12);
                    return titleOfFile(joined, name);
                }
                at += 8 + length + (length & 1);
            }
        }
        return titleOfFile(head, name);
    } catch (error) {
        return titleFromName(name);
    }
}
