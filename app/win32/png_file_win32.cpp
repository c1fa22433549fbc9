// PNG files without a library: the pixels stored in deflate's uncompressed
// blocks, which every reader takes. A screenshot is written seldom, so its
// size matters less than needing nothing Windows does not ship.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include "app/png_file.h"
#include "files/os_files.h"

namespace {

constexpr size_t NAME_CHARS = 4200; // a path and the temporary name's ending, with the terminator

constexpr uint32_t STORED_BLOCK_BYTES = 65535; // the most one uncompressed deflate block holds

uint32_t crcTable[256];

void makeCrcTable() {
    for (uint32_t n = 0; n < 256; n++) {
        uint32_t c = n;
        for (int k = 0; k < 8; k++) {
            c = (c & 1) != 0 ? 0xedb88320u ^ (c >> 1) : c >> 1;
        }
        crcTable[n] = c;
    }
}

uint32_t updateCrc(uint32_t crc, const uint8_t* bytes, size_t count) {
    for (size_t i = 0; i < count; i++) {
        crc = crcTable[(crc ^ bytes[i]) & 0xff] ^ (crc >> 8);
    }
    return crc;
}

void putBigEndian(uint8_t* bytes, uint32_t value) {
    bytes[0] = (uint8_t)(value >> 24);
    bytes[1] = (uint8_t)(value >> 16);
    bytes[2] = (uint8_t)(value >> 8);
    bytes[3] = (uint8_t)value;
}

// One chunk: length, type, data, CRC of type and data.
bool writeChunk(FILE* file, const char* type, const uint8_t* data, uint32_t length) {
    uint8_t head[8];
    putBigEndian(head, length);
    memcpy(head + 4, type, 4);
    uint32_t crc = updateCrc(0xffffffffu, head + 4, 4);
    crc = updateCrc(crc, data, length) ^ 0xffffffffu;
    uint8_t tail[4];
    putBigEndian(tail, crc);
    return fwrite(head, 1, 8, file) == 8 && (length == 0 || fwrite(data, 1, length, file) == length) &&
           fwrite(tail, 1, 4, file) == 4;
}

// The zlib stream of `raw` in stored blocks; returns its length.
size_t storeZlib(const uint8_t* raw, size_t rawBytes, uint8_t* out) {
    size_t at = 0;
    out[at++] = 0x78; // deflate, 32 KiB window
    out[at++] = 0x01; // no preset dictionary; the check bits
    size_t done = 0;
    do {
        uint32_t length = rawBytes - done < STORED_BLOCK_BYTES ? (uint32_t)(rawBytes - done) : STORED_BLOCK_BYTES;
        out[at++] = done + length == rawBytes ? 1 : 0; // the last block
        out[at++] = (uint8_t)length;
        out[at++] = (uint8_t)(length >> 8);
        out[at++] = (uint8_t)~length;
        out[at++] = (uint8_t)(~length >> 8);
        memcpy(out + at, raw + done, length);
        at += length;
        done += length;
    } while (done < rawBytes);
    uint32_t a = 1;
    uint32_t b = 0;
    for (size_t i = 0; i < rawBytes; i++) {
        a = (a + raw[i]) % 65521;
        b = (b + a) % 65521;
    }
    putBigEndian(out + at, (b << 16) | a);
    return at + 4;
}

bool writePng(FILE* file, const uint8_t* rgb, int32_t width, int32_t height, int32_t rowBytes) {
    size_t rowLength = (size_t)width * 3 + 1; // a filter byte, then the row
    size_t rawBytes = rowLength * height;
    size_t blocks = rawBytes / STORED_BLOCK_BYTES + 1;
    uint8_t* raw = (uint8_t*)malloc(rawBytes);
    uint8_t* packed = (uint8_t*)malloc(rawBytes + blocks * 5 + 6);
    bool written = false;
    if (raw != nullptr && packed != nullptr) {
        for (int32_t y = 0; y < height; y++) {
            raw[y * rowLength] = 0; // no filter
            memcpy(raw + y * rowLength + 1, rgb + (size_t)y * rowBytes, (size_t)width * 3);
        }
        size_t packedBytes = storeZlib(raw, rawBytes, packed);
        uint8_t header[13];
        putBigEndian(header, (uint32_t)width);
        putBigEndian(header + 4, (uint32_t)height);
        header[8] = 8;  // bits a sample
        header[9] = 2;  // RGB
        header[10] = 0; // deflate
        header[11] = 0; // adaptive filters
        header[12] = 0; // not interlaced
        written = fwrite("\x89PNG\r\n\x1a\n", 1, 8, file) == 8 && writeChunk(file, "IHDR", header, 13) &&
                  writeChunk(file, "IDAT", packed, (uint32_t)packedBytes) && writeChunk(file, "IEND", nullptr, 0);
    }
    free(raw);
    free(packed);
    return written;
}

} // namespace

bool writePngFile(const char* path, const uint8_t* rgb, int32_t width, int32_t height, int32_t rowBytes, char* error,
                  size_t errorSize) {
    makeCrcTable();
    char temporary[NAME_CHARS];
    int length = snprintf(temporary, sizeof temporary, "%s.%lu.tmp", path, (unsigned long)GetCurrentProcessId());
    if (length < 0 || (size_t)length >= sizeof temporary) {
        snprintf(error, errorSize, "cannot write %s: the name is too long", path);
        return false;
    }
    FILE* file = openFile(temporary, "wb");
    if (file == nullptr) {
        snprintf(error, errorSize, "cannot write %s: %s", path,
                 errno == ENAMETOOLONG ? "the name is too long" : strerror(errno));
        return false;
    }
    bool written = writePng(file, rgb, width, height, rowBytes);
    written = fclose(file) == 0 && written;
    if (!written || !renameFile(temporary, path)) {
        snprintf(error, errorSize, "cannot write %s: %s", path,
                 written ? "cannot replace the file" : "cannot write the file");
        removeFile(temporary);
        return false;
    }
    return true;
}
