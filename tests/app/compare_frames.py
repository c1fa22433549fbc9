"""Compares a decoded video frame with frames of the renderer.

Usage: compare_frames.py DECODED.rgb WIDTH HEIGHT FRAME_WIDTH FRAME_HEIGHT FRAME.raw...

DECODED.rgb holds WIDTH x HEIGHT pixels of red, green, blue bytes (ffmpeg's
rgb24), the frame enlarged by a whole number (1 included). Each FRAME.raw
holds a frame as render_frames --raw writes it: FRAME_WIDTH x FRAME_HEIGHT
pixels of blue, green, red and an unused byte. Every block of the decoded
picture is averaged back to one pixel; for each raw frame one line is
printed: the mean absolute difference per channel and the share of pixels off
by more than 24 in some channel.
"""

import sys

FAR_OFF = 24


def shrink(data, width, height, frame_width, frame_height):
    scale = width // frame_width
    if scale * frame_width != width or scale * frame_height != height or len(data) != width * height * 3:
        sys.exit(f"decoded picture is not {width}x{height}, a whole enlargement of {frame_width}x{frame_height}")
    pixels = []
    count = scale * scale
    for y in range(frame_height):
        for x in range(frame_width):
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
    decoded_path = sys.argv[1]
    width, height, frame_width, frame_height = (int(value) for value in sys.argv[2:6])
    with open(decoded_path, "rb") as f:
        decoded = shrink(f.read(), width, height, frame_width, frame_height)
    for raw_path in sys.argv[6:]:
        with open(raw_path, "rb") as f:
            raw = f.read()
        if len(raw) != frame_width * frame_height * 4:
            sys.exit(f"{raw_path} is not a {frame_width} x {frame_height} frame")
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
