// The web app's icons, as the desktop's: the demo tune's first frame traced
// square at each size, by the one-thread core under node, written as PNG.
// Usage: node make_icons.js CORE_JS OUT_DIR SIZE...
"use strict";
const fs = require("node:fs");
const path = require("node:path");
const zlib = require("node:zlib");

function chunk(type, data) {
    const head = Buffer.alloc(8);
    head.writeUInt32BE(data.length, 0);
    head.write(type, 4, "latin1");
    const crc = Buffer.alloc(4);
    crc.writeUInt32BE(zlib.crc32(Buffer.concat([head.subarray(4), data])), 0);
    return Buffer.concat([head, data, crc]);
}

// RGBA rows as an 8-bit truecolour PNG without alpha.
function png(rgba, size) {
    const rows = Buffer.alloc(size * (1 + size * 3));
    for (let y = 0; y < size; y++) {
        const row = y * (1 + size * 3);
        for (let x = 0; x < size; x++) {
            rgba.copy(rows, row + 1 + x * 3, (y * size + x) * 4, (y * size + x) * 4 + 3);
        }
    }
    const header = Buffer.alloc(13);
    header.writeUInt32BE(size, 0);
    header.writeUInt32BE(size, 4);
    header.set([8, 2, 0, 0, 0], 8);
    return Buffer.concat([Buffer.from([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]), chunk("IHDR", header),
                          chunk("IDAT", zlib.deflateSync(rows, { level: 9 })), chunk("IEND", Buffer.alloc(0))]);
}

async function main() {
    const [coreJs, outDir, ...sizes] = process.argv.slice(2);
    const core = await require(path.resolve(coreJs))({ wasmBinary: fs.readFileSync(coreJs.replace(/\.js$/, ".wasm")) });
    core._webStart(1);
    // The demo tune's first block: each sample's high byte, as the player hands it over.
    const samples = 176400;
    const planes = new Float32Array(core.HEAPU8.buffer, core._webDemoTune(), samples * 2).slice();
    const block = new Uint8Array(1152);
    for (let channel = 0; channel < 2; channel++) {
        for (let i = 0; i < 576; i++) {
            const value = planes[channel * samples + i];
            const sample = Math.round(value > 0 ? value * 32767 : value * 32768);
            block[channel * 576 + i] = (sample >> 8) & 0xff;
        }
    }
    fs.mkdirSync(outDir, { recursive: true });
    for (const size of sizes.map(Number)) {
        core.HEAPU8.set(block, core._webBlock());
        const pointer = core._webFrame(size, size, 2);
        if (pointer === 0) {
            throw new Error(`no ${size} x ${size} icon`);
        }
        const rgba = Buffer.from(core.HEAPU8.buffer, pointer, size * size * 4);
        const file = path.join(outDir, `icon-${size}.png`);
        fs.writeFileSync(`${file}.part`, png(rgba, size));
        fs.renameSync(`${file}.part`, file);
    }
}

main().catch((error) => {
    console.error(`make_icons.js: ${error.message}`);
    process.exit(1);
});
