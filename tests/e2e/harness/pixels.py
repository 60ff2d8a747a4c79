"""Reads regions of screenshots and tells which tray icon they show.

The up icon is a bright green cross over a dark green bar on white, the down icon a red cross
over a green bar on grey.  Both have a green bar, so only the cross tells them apart: bright
green means up, red means down."""

import subprocess
from dataclasses import dataclass

CONVERT = "/usr/bin/convert"

# A cross drawn at 16 pixels covers about 60 of them; far fewer than that means no icon.
MIN_CROSS_PIXELS = 12


@dataclass(frozen=True)
class Region:
    x: int
    y: int
    width: int
    height: int

    def centre(self):
        return self.x + self.width // 2, self.y + self.height // 2


@dataclass
class Image:
    width: int
    height: int
    rgb: bytes  # width * height * 3 bytes, rows top down

    def pixels(self):
        data = self.rgb
        for offset in range(0, len(data), 3):
            yield data[offset], data[offset + 1], data[offset + 2]


def parse_ppm(data):
    """Parses a binary PPM (P6) with 8-bit samples."""
    fields = []
    position = 0
    while len(fields) < 4:
        while data[position : position + 1].isspace():
            position += 1
        if data[position : position + 1] == b"#":
            position = data.index(b"\n", position) + 1
            continue
        end = position
        while not data[end : end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    if fields[0] != b"P6":
        raise ValueError(f"not a binary PPM: {fields[0]!r}")
    width, height, maximum = (int(field) for field in fields[1:])
    if maximum != 255:
        raise ValueError(f"unsupported sample depth {maximum}")
    pixels = data[position + 1 : position + 1 + width * height * 3]
    if len(pixels) != width * height * 3:
        raise ValueError("truncated PPM")
    return Image(width, height, pixels)


def read_region(png_path, region):
    """The pixels of `region` of a PNG file."""
    geometry = f"{region.width}x{region.height}+{region.x}+{region.y}"
    ppm = subprocess.run(
        [CONVERT, str(png_path), "-crop", geometry, "+repage", "-depth", "8", "ppm:-"],
        check=True,
        capture_output=True,
    ).stdout
    return parse_ppm(ppm)


def is_bright_green(red, green, blue):
    return green >= 190 and red <= 90 and blue <= 90


def is_red(red, green, blue):
    return red >= 190 and green <= 90 and blue <= 90


def is_dark(image):
    """Whether the image is dark on average, as a radio button's checked dot is."""
    values = [sum(pixel) / 3 for pixel in image.pixels()]
    return bool(values) and sum(values) / len(values) < 128


@dataclass(frozen=True)
class IconColours:
    green: int
    red: int

    @property
    def state(self):
        """"up", "down", or "none" when neither cross is there (no icon, or a mix of both)."""
        if self.green >= MIN_CROSS_PIXELS and self.red < MIN_CROSS_PIXELS:
            return "up"
        if self.red >= MIN_CROSS_PIXELS and self.green < MIN_CROSS_PIXELS:
            return "down"
        return "none"


def icon_colours(image):
    green = red = 0
    for pixel in image.pixels():
        if is_bright_green(*pixel):
            green += 1
        elif is_red(*pixel):
            red += 1
    return IconColours(green=green, red=red)
