"""Compares a decoded video frame with frames of the renderer.

Usage: compare_frames.py DECODED.rgb WIDTH HEIGHT FRAME.raw...

DECODED.rgb holds WIDTH x HEIGHT pixels of red, green, blue bytes (ffmpeg's
rgb24), an enlargement of the 320 x 200 frame by a whole number. Each
FRAME.raw holds a frame as render_frames --raw writes it: 320 x 200 pixels of
blue, green, red and an unused byte. Every block of the decoded picture is
averaged back to one pixel; for each raw frame one line is printed: the mean
absolute difference per channel and the share of pixels off by more than 24
in some channel.
"""

import sys

FRAME_WIDTH = 320
FRAME_HEIGHT = 200
FAR_OFF = 24


def shrink(data, width, height):
    scale = width // FRAME_WIDTH
    if scale * FRAME_WIDTH != width or scale * FRAME_HEIGHT != height or len(data) != width * height * 3:
        sys.exit(f"decoded picture is not {width}x{height}, a whole enlargement of 320x200")
    pixels = []
    count = scale * scale
    for y in range(FRAME_HEIGHT):
        for x in range(FRAME_WIDTH):
            total = [0, 0, 0]
            for dy in range(scale):
                start = ((y * scale + dy) * width + x * scale) * 3
                for dx in range(scale):
                    p = start + dx * 3
                    total[0] += data[p]
                    total[1] += data[p + 1]
                    total[2] += data[p + 2]
            pixels.append((total[0] / count, total[1] / count, total[2] / count))
    return pixels


def main():
    decoded_path, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
    with open(decoded_path, "rb") as f:
        decoded = shrink(f.read(), width, height)
    for raw_path in sys.argv[4:]:
        with open(raw_path, "rb") as f:
            raw = f.read()
        if len(raw) != FRAME_WIDTH * FRAME_HEIGHT * 4:
            sys.exit(f"{raw_path} is not a 320 x 200 frame")
        total = 0.0
        far = 0
        for i, (red, green, blue) in enumerate(decoded):
            b, g, r = raw[4 * i], raw[4 * i + 1], raw[4 * i + 2]
            differences = (abs(red - r), abs(green - g), abs(blue - b))
            total += sum(differences)
            if max(differences) > FAR_OFF:
                far += 1
        print(f"{total / (len(decoded) * 3):.3f} {far / len(decoded):.4f}")


main()
