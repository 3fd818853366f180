#!/usr/bin/python3
"""Draws every picture of Melvane's window face and the manifest that lists them.

    python3 resources/make_pictures.py                  rewrite resources/pictures/
    python3 resources/make_pictures.py --preview DIR    also compose the whole face into DIR

Needs Debian's python3-pil and fonts-inter (`scripts/setup-deps pictures` installs both). The
output depends only on this file, the font and the library versions: every run writes the same
bytes.

Every picture is opaque. Each is cut from the face exactly where the window draws it, so it
carries the background beneath it and the window can copy it as it is, without blending.
"""

import argparse
import io
import math
import os
import re
import struct
import sys

DEBIAN_PYTHON = "/usr/bin/python3"

try:
    from PIL import Image, ImageChops, ImageDraw, ImageFont, features
except ImportError:
    # A python3 from pyenv or a venv shadows Debian's, which is the one python3-pil serves.
    if os.path.exists(DEBIAN_PYTHON) and os.path.realpath(sys.executable) != os.path.realpath(
        DEBIAN_PYTHON
    ):
        os.execv(DEBIAN_PYTHON, [DEBIAN_PYTHON] + sys.argv)
    sys.exit("make_pictures: Pillow is missing; install it with: apt-get install -y python3-pil")

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
OUT_DIR = os.path.join(HERE, "pictures")
MANIFEST = "manifest.txt"

FONT_PACKAGE = "fonts-inter"
FONT_DIR = "/usr/share/fonts/opentype/inter"
FONT_FILES = {
    "regular": "Inter-Regular.otf",
    "medium": "Inter-Medium.otf",
    "semibold": "Inter-SemiBold.otf",
    "bold": "Inter-Bold.otf",
}

# Everything is drawn this many times larger and then reduced, for smooth edges.
S = 4
FACE_W, FACE_H = 600, 430

ACCENT = (0, 159, 250)  # also the frame the window draws around a chosen file
ACCENT_DARK = (0, 122, 204)
ACCENT_SOFT = (72, 170, 240)
ACCENT_DASH = (122, 196, 247)
ACCENT_TINT = (236, 246, 254)
ACCENT_TINT_STRONG = (214, 237, 254)
INK = (24, 38, 56)
TEXT = (45, 60, 78)
MUTED = (112, 126, 143)
CONTROL = (137, 152, 170)
RING = (176, 189, 204)
BORDER = (208, 217, 228)
DIVIDER = (226, 232, 239)
CHIP = (232, 237, 243)
CHIP_INK = (92, 107, 124)
HEADER_BG = (255, 255, 255)
BODY_BG = (244, 247, 250)
WHITE = (255, 255, 255)

HEADER_BOTTOM = 118  # the header's white ends here, with a divider as its last row
FOOTER_LINE = 352  # above the information text and the transpose button

# Where the window draws each picture (x, y) and its size (w, h).
AT = {
    1: (30, 20, 490, 90),
    2: (30, 140, 170, 20),
    3: (30, 167, 170, 170),
    4: (30, 167, 170, 170),
    5: (260, 140, 140, 20),
    6: (408, 140, 170, 20),
    7: (260, 282, 300, 18),
    8: (260, 300, 309, 41),
    9: (262, 188, 34, 45),
    10: (306, 197, 95, 25),
    11: (410, 182, 18, 18),
    12: (410, 182, 18, 18),
    13: (438, 182, 42, 18),
    14: (438, 212, 42, 18),
    15: (274, 168, 12, 10),
    16: (274, 168, 12, 10),
    17: (274, 235, 12, 10),
    18: (274, 235, 12, 10),
    21: (528, 22, 28, 18),
    22: (528, 22, 28, 18),
    23: (556, 22, 28, 18),
    24: (556, 22, 28, 18),
    25: (184, 171, 16, 16),
    28: (438, 242, 110, 18),
}
BUTTON_AT = {"en": (407, 364, 162, 37), "de": (360, 364, 209, 37)}
# The window's own drawing, which the pictures must meet.
DROP_ZONE = (30, 167, 170, 170)
STEP_FIELD = (264, 198, 30, 25)
NAME_FIELD = (262, 308, 305, 25)
INFO_AREA = (30, 366, 200, 32)

WORDS = {
    "en": {
        "tagline": "Moves every chord of a song sheet up or down.",
        "tagline2": "Everything else in the document stays as it was.",
        "sheet": "Song sheet",
        "drop1": "Drop a file here",
        "drop2": "or click to choose one",
        "step": "Transpose by",
        "spelling": "Spelling",
        "output": "Save as",
        "semitones": "semitones",
        "sharp": "sharp",
        "flat": "flat",
        "bykey": "by key",
        "button": "Transpose",
    },
    "de": {
        "tagline": "Verschiebt jeden Akkord eines Liedblatts auf- oder abwärts.",
        "tagline2": "Alles andere im Dokument bleibt, wie es war.",
        "sheet": "Liedblatt",
        "drop1": "Datei hier ablegen",
        "drop2": "oder klicken und wählen",
        "step": "Transponieren um",
        "spelling": "Vorzeichen",
        "output": "Speichern unter",
        "semitones": "Halbtöne",
        "sharp": "Kreuz",
        "flat": "b",
        "bykey": "nach Tonart",
        "button": "Transponieren",
    },
}
EXTENSIONS = ".doc  ·  .docx  ·  .odt"


def fail(message):
    sys.exit("make_pictures: " + message)


# ---------------------------------------------------------------------------------------------
# Drawing

_fonts = {}


def font(weight, size, scale=S):
    """Inter at `size` face pixels, opened at the drawing scale."""
    key = (weight, size, scale)
    if key not in _fonts:
        path = os.path.join(FONT_DIR, FONT_FILES[weight])
        if not os.path.exists(path):
            fail(f"font {path} is missing; install it with: apt-get install -y {FONT_PACKAGE}")
        # Raqm shapes with the font's own kerning; the basic layout would ignore it.
        _fonts[key] = ImageFont.truetype(
            path, round(size * scale), layout_engine=ImageFont.Layout.RAQM
        )
    return _fonts[key]


def text_width(weight, size, text):
    return font(weight, size).getlength(text) / S


def fit(text, weight, size, room, what):
    if text_width(weight, size, text) > room:
        fail(f"{what} '{text}' does not fit into {room} pixels")


class Pen:
    """Draws on a large image in face pixels, relative to an origin."""

    def __init__(self, image, origin, scale=S):
        self.image = image
        self.scale = scale
        self.draw = ImageDraw.Draw(image)
        self.ox, self.oy = origin

    def point(self, x, y):
        return ((x + self.ox) * self.scale, (y + self.oy) * self.scale)

    def box(self, x0, y0, x1, y1):
        a, b = self.point(x0, y0), self.point(x1, y1)
        # ImageDraw's boxes include their last row and column.
        return (round(a[0]), round(a[1]), round(b[0]) - 1, round(b[1]) - 1)

    def rect(self, x0, y0, x1, y1, fill):
        self.draw.rectangle(self.box(x0, y0, x1, y1), fill=fill)

    def rounded(self, x0, y0, x1, y1, radius, fill=None, outline=None, width=1.0):
        self.draw.rounded_rectangle(
            self.box(x0, y0, x1, y1),
            radius=round(radius * self.scale),
            fill=fill,
            outline=outline,
            width=round(width * self.scale) if outline else 0,
        )

    def ellipse(self, x0, y0, x1, y1, fill=None, outline=None, width=1.0):
        self.draw.ellipse(
            self.box(x0, y0, x1, y1),
            fill=fill,
            outline=outline,
            width=round(width * self.scale) if outline else 0,
        )

    def polygon(self, points, fill):
        self.draw.polygon([self.point(x, y) for x, y in points], fill=fill)

    def line(self, points, fill, width):
        self.draw.line([self.point(x, y) for x, y in points], fill=fill, width=round(width * self.scale))
        # Round ends and joints; a wide line alone leaves them square.
        r = width / 2
        for x, y in points:
            self.ellipse(x - r, y - r, x + r, y + r, fill=fill)

    def text(self, x, baseline, text, weight, size, fill, anchor="ls"):
        self.draw.text(
            self.point(x, baseline),
            text,
            font=font(weight, size, self.scale),
            fill=fill,
            anchor=anchor,
        )


def reduce(big):
    return big.resize((big.width // S, big.height // S), Image.LANCZOS)


def px(value, scale):
    """A face coordinate in the pixels of a scaled set, rounded as the window rounds it."""
    return math.floor(value * scale + 0.5)


def background_big(scale=1):
    big = Image.new("RGB", (px(FACE_W, scale) * S, px(FACE_H, scale) * S))
    pen = Pen(big, (0, 0), S * scale)
    pen.rect(0, 0, FACE_W, FACE_H, BODY_BG)
    pen.rect(0, 0, FACE_W, HEADER_BOTTOM, HEADER_BG)
    pen.rect(0, HEADER_BOTTOM - 1, FACE_W, HEADER_BOTTOM, DIVIDER)
    pen.rect(30, FOOTER_LINE, 570, FOOTER_LINE + 1, DIVIDER)
    return big


# Face pixels drawn along around each picture: the reduction then sees the true neighbours and
# a picture's pixels come out exactly as in a reduction of the whole face.
MARGIN = 4


def cut(face_big, rect, painter, base=None, scale=1):
    """Paints over the face at `rect` and returns the reduced picture of that rectangle, in
    the pixels of the set for `scale`: it spans from the rounded left edge to the rounded right."""
    x, y, w, h = rect
    m = MARGIN
    left, top = px(x, scale), px(y, scale)
    width, height = px(x + w, scale) - left, px(y + h, scale) - top
    if base is None:
        if x < m or y < m or x + w + m > FACE_W or y + h + m > FACE_H:
            fail(f"picture at {rect} lies too close to the edge of the face")
        box = (left - m, top - m, left + width + m, top + height + m)
        big = face_big.crop(tuple(v * S for v in box))
    else:
        big = Image.new("RGB", ((width + 2 * m) * S, (height + 2 * m) * S), base)
    # The pen's origin: where the picture's own (0, 0) falls in the cut, in face units.
    origin = ((x * scale - left + m) / scale, (y * scale - top + m) / scale)
    painter(Pen(big, origin, S * scale), w, h)
    return reduce(big).crop((m, m, m + width, m + height))


# ---------------------------------------------------------------------------------------------
# The pictures


def mark(pen, x, y):
    """The mark, 52 x 52 at (x, y): two beamed notes on an accent tile. Also the icon."""
    pen.rounded(x, y, x + 52, y + 52, 13, fill=ACCENT)
    pen.ellipse(x + 13.5, y + 32, x + 23.5, y + 40, fill=WHITE)
    pen.ellipse(x + 29.5, y + 28, x + 39.5, y + 36, fill=WHITE)
    pen.rect(x + 21, y + 13, x + 23.5, y + 36, WHITE)
    pen.rect(x + 37, y + 9, x + 39.5, y + 32, WHITE)
    pen.polygon([(x + 21, y + 13), (x + 39.5, y + 9), (x + 39.5, y + 14), (x + 21, y + 18)], WHITE)


def heading(lang):
    words = WORDS[lang]

    def paint(pen, w, h):
        mark(pen, 0, 4)
        pen.text(68, 33, "Melvane", "bold", 30, INK)
        for line, baseline in ((words["tagline"], 55), (words["tagline2"], 75)):
            fit(line, "regular", 14.5, w - 69, "heading line")
            pen.text(69, baseline, line, "regular", 14.5, MUTED)

    return paint


def caption(text, baseline):
    def paint(pen, w, h):
        fit(text, "semibold", 14, w, "caption")
        pen.text(0, baseline, text, "semibold", 14, TEXT)

    return paint


def label(text, baseline, size, access_key=False):
    """With access_key the first letter is underlined, as Windows shows it while Alt is held."""

    def paint(pen, w, h):
        fit(text, "medium", size, w, "label")
        pen.text(0, baseline, text, "medium", size, TEXT)
        if access_key:
            pen.rect(0.5, baseline + 2, text_width("medium", size, text[0]) - 0.25, baseline + 3.25, TEXT)

    return paint


def drop_zone(lang, hover):
    words = WORDS[lang]

    def paint(pen, w, h):
        if hover:
            pen.rounded(0, 0, w, h, 8, fill=ACCENT_TINT_STRONG, outline=ACCENT, width=1.5)
        else:
            pen.rounded(0, 0, w, h, 8, fill=ACCENT_TINT)
            dashed_frame(pen, w, h, 8)
        # A sheet with a folded corner and an arrow going into it.
        cx, top = w / 2, 38
        ink = ACCENT if hover else ACCENT_SOFT
        sheet = [
            (cx - 15, top),
            (cx + 6, top),
            (cx + 15, top + 9),
            (cx + 15, top + 38),
            (cx - 15, top + 38),
            (cx - 15, top),
        ]
        if hover:
            pen.polygon(sheet, WHITE)
        pen.line(sheet, ink, 2)
        pen.line([(cx + 6, top), (cx + 6, top + 9), (cx + 15, top + 9)], ink, 2)
        pen.line([(cx, top + 14), (cx, top + 30)], ink, 2)
        pen.line([(cx - 6, top + 24), (cx, top + 30), (cx + 6, top + 24)], ink, 2)
        for line, baseline in ((words["drop1"], 106), (words["drop2"], 124)):
            fit(line, "medium", 13, w - 12, "drop zone line")
            pen.text(w / 2, baseline, line, "medium", 13, INK if hover else TEXT, anchor="ms")
        pen.text(w / 2, 150, EXTENSIONS, "regular", 12, MUTED, anchor="ms")

    return paint


def dashed_frame(pen, w, h, radius):
    pen.rounded(0, 0, w, h, radius, outline=ACCENT_DASH, width=1.5)
    # Gaps are cut into the straight runs with the fill colour, spread evenly along each side.
    dash, gap, t = 6, 4, 1.6
    for length, horizontal in ((w, True), (h, False)):
        run = length - 2 * radius
        count = int((run - dash) // (dash + gap))
        start = radius + (run - count * (dash + gap) - dash) / 2 + dash
        for i in range(count):
            a = start + i * (dash + gap)
            if horizontal:
                pen.rect(a, -0.2, a + gap, t, ACCENT_TINT)
                pen.rect(a, h - t, a + gap, h + 0.2, ACCENT_TINT)
            else:
                pen.rect(-0.2, a, t, a + gap, ACCENT_TINT)
                pen.rect(w - t, a, w + 0.2, a + gap, ACCENT_TINT)


def field_frame(top, bottom):
    # An edit control writes its line at its top, not in its middle, so the white box sits
    # high around the field. The field is square and lies 2 pixels inside the box's sides:
    # the box reaches far enough below it that the rounded corners stay clear of it.
    def paint(pen, w, h):
        pen.rounded(0, top, w, bottom, 4, fill=WHITE, outline=BORDER, width=1)

    return paint


def marker(selected):
    def paint(pen, w, h):
        if selected:
            pen.ellipse(0.5, 0.5, 17.5, 17.5, fill=WHITE, outline=ACCENT, width=1.75)
            pen.ellipse(4.75, 4.75, 13.25, 13.25, fill=ACCENT)
        else:
            pen.ellipse(0.5, 0.5, 17.5, 17.5, fill=WHITE, outline=RING, width=1.5)

    return paint


def arrow(up, hover):
    def paint(pen, w, h):
        colour = ACCENT if hover else CONTROL
        if up:
            points = [(6, 1.5), (11, 8.5), (1, 8.5)]
        else:
            points = [(1, 1.5), (11, 1.5), (6, 8.5)]
        pen.polygon(points, colour)
        pen.line(points + [points[0]], colour, 1.5)

    return paint


def button(lang, hover):
    text = WORDS[lang]["button"]

    def paint(pen, w, h):
        pen.rounded(0, 0, w, h, 8, fill=ACCENT_DARK if hover else ACCENT)
        size, icon, gap = 15, 12, 9
        tw = text_width("semibold", size, text)
        if icon + gap + tw > w - 24:
            fail(f"button text '{text}' does not fit into {w} pixels")
        x, cy = (w - (icon + gap + tw)) / 2, h / 2
        # An arrow up beside an arrow down: chords move either way.
        a, b = x + 3, x + 9
        pen.line([(a, cy + 6), (a, cy - 6)], WHITE, 1.75)
        pen.line([(a - 3, cy - 3), (a, cy - 6), (a + 3, cy - 3)], WHITE, 1.75)
        pen.line([(b, cy - 6), (b, cy + 6)], WHITE, 1.75)
        pen.line([(b - 3, cy + 3), (b, cy + 6), (b + 3, cy + 3)], WHITE, 1.75)
        pen.text(x + icon + gap, cy + 5.5, text, "semibold", size, WHITE)

    return paint


def flag(country, active):
    def paint(pen, w, h):
        fw, fh = 24, 16
        big = Image.new("RGB", (round(fw * pen.scale), round(fh * pen.scale)))
        if country == "de":
            stripes = Pen(big, (0, 0), pen.scale)
            stripes.rect(0, 0, fw, fh / 3, (0, 0, 0))
            stripes.rect(0, fh / 3, fw, fh * 2 / 3, (221, 0, 0))
            stripes.rect(0, fh * 2 / 3, fw, fh, (255, 206, 0))
        else:
            union_flag(big)
        if not active:
            # Faded towards the header, so the language in use stands out.
            big = Image.blend(big, Image.new("RGB", big.size, HEADER_BG), 0.6)
        shape = Image.new("L", big.size, 0)
        ImageDraw.Draw(shape).rounded_rectangle(
            (0, 0, big.width - 1, big.height - 1), radius=round(2 * pen.scale), fill=255
        )
        x0, y0 = (w - fw) / 2, (h - fh) / 2
        pen.image.paste(big, tuple(round(v) for v in pen.point(x0, y0)), shape)
        pen.rounded(
            x0,
            y0,
            x0 + fw,
            y0 + fh,
            2,
            outline=(0, 0, 0) if active else BORDER,
            width=0.25 if active else 0.5,
        )

    return paint


def union_flag(big):
    w, h = big.size
    u = h / 30  # the flag's own unit: white saltire 6, red saltire 2, white cross 10, red 6
    blue, red, white = (1, 33, 105), (200, 16, 46), (255, 255, 255)
    draw = ImageDraw.Draw(big)
    draw.rectangle((0, 0, w, h), fill=blue)

    def band(p, q, near, far):
        # The strip along p-q between two distances to its left.
        dx, dy = q[0] - p[0], q[1] - p[1]
        length = (dx * dx + dy * dy) ** 0.5
        nx, ny = -dy / length, dx / length
        return [
            (p[0] + nx * near, p[1] + ny * near),
            (q[0] + nx * near, q[1] + ny * near),
            (q[0] + nx * far, q[1] + ny * far),
            (p[0] + nx * far, p[1] + ny * far),
        ]

    for p, q in (((0, 0), (w, h)), ((w, 0), (0, h))):
        draw.polygon(band(p, q, -3 * u, 3 * u), fill=white)
    # The red saltire is counterchanged: in each quarter it runs on the clockwise side.
    cx, cy = w / 2, h / 2
    for corner in ((0, 0), (w, 0), (w, h), (0, h)):
        strip = Image.new("L", big.size, 0)
        ImageDraw.Draw(strip).polygon(band(corner, (cx, cy), 0, 2 * u), fill=255)
        xs, ys = sorted((corner[0], cx)), sorted((corner[1], cy))
        quarter = (round(xs[0]), round(ys[0]), round(xs[1]), round(ys[1]))
        clip = Image.new("L", big.size, 0)
        clip.paste(strip.crop(quarter), quarter[:2])
        big.paste(red, (0, 0, w, h), clip)
    draw.rectangle((0, cy - 5 * u, w, cy + 5 * u), fill=white)
    draw.rectangle((cx - 5 * u, 0, cx + 5 * u, h), fill=white)
    draw.rectangle((0, cy - 3 * u, w, cy + 3 * u), fill=red)
    draw.rectangle((cx - 3 * u, 0, cx + 3 * u, h), fill=red)


def remove_icon(pen, w, h):
    pen.ellipse(0, 1, 14, 15, fill=CHIP)
    pen.line([(4.5, 5.5), (9.5, 10.5)], CHIP_INK, 1.5)
    pen.line([(9.5, 5.5), (4.5, 10.5)], CHIP_INK, 1.5)


# ---------------------------------------------------------------------------------------------
# The set


def build(scale=1):
    """Returns [(slot, language, file name, image)] for every picture of the set for `scale`
    (1 for 100 %), in manifest order."""
    face_big = background_big(scale)
    pictures = [(0, "both", "00_background.png", reduce(face_big))]

    def add(slot, lang, name, painter, rect=None, base=None):
        image = cut(face_big, rect or AT[slot], painter, base, scale)
        pictures.append((slot, lang, f"{slot:02d}_{name}.png", image))
        return image

    for lang in ("en", "de"):
        words = WORDS[lang]
        add(1, lang, f"heading_{lang}", heading(lang))
        add(2, lang, f"caption_sheet_{lang}", caption(words["sheet"], 15))
        add(3, lang, f"drop_zone_{lang}", drop_zone(lang, False))
        add(4, lang, f"drop_zone_hover_{lang}", drop_zone(lang, True))
        add(5, lang, f"caption_step_{lang}", caption(words["step"], 15))
        add(6, lang, f"caption_spelling_{lang}", caption(words["spelling"], 15))
        add(7, lang, f"caption_output_{lang}", caption(words["output"], 14))
        # Baselines meet the line the edit control writes beside them.
        add(10, lang, f"semitones_{lang}", label(words["semitones"], 13.5, 14))
        add(13, lang, f"option_sharp_{lang}", label(words["sharp"], 13.5, 13))
        add(14, lang, f"option_flat_{lang}", label(words["flat"], 13.5, 13))
        add(26, lang, f"option_sharp_key_{lang}", label(words["sharp"], 13.5, 13, True), AT[13])
        add(27, lang, f"option_flat_key_{lang}", label(words["flat"], 13.5, 13, True), AT[14])
        add(28, lang, f"option_by_key_{lang}", label(words["bykey"], 13.5, 13))
        add(29, lang, f"option_by_key_key_{lang}", label(words["bykey"], 13.5, 13, True), AT[28])
        add(19, lang, f"button_{lang}", button(lang, False), BUTTON_AT[lang])
        add(20, lang, f"button_hover_{lang}", button(lang, True), BUTTON_AT[lang])
    add(8, "both", "name_frame", field_frame(0, 35))
    add(9, "both", "step_frame", field_frame(1, 37))
    add(11, "both", "marker", marker(False))
    add(12, "both", "marker_selected", marker(True))
    add(15, "both", "step_up", arrow(True, False))
    add(16, "both", "step_up_hover", arrow(True, True))
    add(17, "both", "step_down", arrow(False, False))
    add(18, "both", "step_down_hover", arrow(False, True))
    add(21, "both", "flag_de_inactive", flag("de", False))
    add(22, "both", "flag_de_active", flag("de", True))
    add(23, "both", "flag_en_inactive", flag("en", False))
    add(24, "both", "flag_en_active", flag("en", True))
    icon = add(25, "both", "remove", remove_icon, base=WHITE)
    # The icon's last columns lie on the right edge of the blue frame that the window draws
    # around a chosen file (a one-unit box, rounded per edge), so they carry exactly that edge:
    # at 150 % it is one pixel wide, not two.
    right = DROP_ZONE[0] + DROP_ZONE[2]
    edge = px(right, scale) - px(right - 1, scale)
    icon.paste(ACCENT, (icon.width - edge, 0, icon.width, icon.height))

    order = {"both": 0, "en": 1, "de": 2}
    pictures.sort(key=lambda item: (item[0], order[item[1]]))
    return pictures


# ---------------------------------------------------------------------------------------------
# Writing


def indexed(image, palette):
    """The image as a palette image, each colour replaced by its nearest palette entry."""
    nearest = {}
    for _, rgb in image.getcolors(image.width * image.height):
        nearest[rgb] = min(
            range(len(palette)),
            key=lambda i: (sum((a - b) ** 2 for a, b in zip(rgb, palette[i])), i),
        )
    raw = image.tobytes()
    indices = bytes(nearest[tuple(raw[i : i + 3])] for i in range(0, len(raw), 3))
    result = Image.frombytes("P", image.size, indices)
    result.putpalette([c for rgb in palette for c in rgb])
    return result


def worst_difference(a, b):
    return max(high for _, high in ImageChops.difference(a.convert("RGB"), b).getextrema())


def encode(image):
    """The smallest PNG without metadata: RGB, or a palette where it looks the same."""
    counted = sorted(image.getcolors(image.width * image.height), key=lambda c: (-c[0], c[1]))
    candidates = [image]
    if len(counted) <= 256:
        candidates.append(indexed(image, [rgb for _, rgb in counted]))
    else:
        # The large areas keep their exact colours, so a picture meets the face around it
        # without a seam; the edges of letters and shapes share the remaining entries.
        palette = [rgb for _, rgb in counted[:16]]
        reduced = image.quantize(240, method=Image.Quantize.MAXCOVERAGE, dither=Image.Dither.NONE)
        for _, rgb in sorted(reduced.convert("RGB").getcolors(256), key=lambda c: (-c[0], c[1])):
            if rgb not in palette:
                palette.append(rgb)
        candidate = indexed(image, palette)
        if worst_difference(candidate, image) <= 2:
            candidates.append(candidate)
    best = None
    for candidate in candidates:
        buffer = io.BytesIO()
        candidate.save(buffer, "PNG", optimize=True)
        if best is None or len(buffer.getvalue()) < len(best):
            best = buffer.getvalue()
    return best


ICON_FILE = os.path.join(HERE, "melvane.ico")
ICON_SIZES = (16, 20, 24, 32, 40, 48, 64, 96, 128, 256)


def icon_image(size):
    """The mark alone on a transparent square, drawn for this size and reduced like the rest."""
    big = Image.new("RGBA", (size * S, size * S), (0, 0, 0, 0))
    mark(Pen(big, (0, 0), scale=size * S / 52), 0, 0)
    return big.resize((size, size), Image.LANCZOS)


def write_icon():
    """A Windows icon file with a PNG image for each size: the program's icon in Explorer."""
    images = []
    for size in ICON_SIZES:
        buffer = io.BytesIO()
        icon_image(size).save(buffer, "PNG", optimize=True)
        images.append((size, buffer.getvalue()))
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, data = b"", b""
    for size, png in images:
        side = 0 if size == 256 else size  # 0 stands for 256
        entries += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(png), offset + len(data))
        data += png
    with open(ICON_FILE, "wb") as f:
        f.write(header + entries + data)


# The display scales with a set of their own (percent); 100 % lies in OUT_DIR itself, the others
# in a folder named after the percentage. The window picks the nearest set.
SCALES = (100, 125, 150, 200)


def set_dir(percent):
    return OUT_DIR if percent == 100 else os.path.join(OUT_DIR, str(percent))


def write_set(pictures, out_dir=OUT_DIR):
    os.makedirs(out_dir, exist_ok=True)
    names = {name for _, _, name, _ in pictures}
    for old in sorted(os.listdir(out_dir)):
        if old.endswith(".png") and old not in names:
            os.remove(os.path.join(out_dir, old))
    for _, _, name, image in pictures:
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(encode(image))
    with open(os.path.join(out_dir, MANIFEST), "w", encoding="ascii", newline="\n") as f:
        for slot, lang, name, _ in pictures:
            f.write(f"{slot} {lang} {name}\n")


def read_set():
    """The written pictures as the window will load them, through the manifest."""
    pictures = []
    with open(os.path.join(OUT_DIR, MANIFEST), encoding="ascii") as f:
        for line in f:
            slot, lang, name = line.split()
            with Image.open(os.path.join(OUT_DIR, name)) as image:
                pictures.append((int(slot), lang, name, image.convert("RGB")))
    return pictures


# ---------------------------------------------------------------------------------------------
# Preview: the face as the window draws it

ARIAL_STAND_INS = (
    "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf",  # Arial's metrics
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
)
def project_version():
    """The version as project() in CMakeLists.txt spells it: the one place it is written."""
    with open(os.path.join(ROOT, "CMakeLists.txt"), encoding="utf-8") as f:
        found = re.search(r"project\(Melvane VERSION ([0-9]+)\.([0-9]+)\.([0-9]+)", f.read())
    if not found:
        fail("CMakeLists.txt names no project version")
    return found.groups()


def info_lines(lang):
    major, minor, _ = project_version()
    tagline = "Akkorde auf und ab" if lang == "de" else "chords up and down"
    return (f"Melvane {major}.{minor} \u2013 {tagline}", "https://melvane.org")
SAMPLE_NAME = "Amazing Grace (Gitarrenfassung, Chorheft 2024).docx"


def arial():
    for path in ARIAL_STAND_INS:
        if os.path.exists(path):
            return ImageFont.truetype(path, 13)  # Arial 10 pt at 96 dpi
    return ImageFont.load_default()


def compose(pictures, lang, document=False, hover=False, spelling=2, step="0"):
    """The face in the order the window draws it, with the edit fields laid on top."""
    slots = {slot: image for slot, which, _, image in pictures if which in ("both", lang)}
    face = Image.new("RGB", (FACE_W, FACE_H))
    draw = ImageDraw.Draw(face)
    arial_font = arial()

    def put(slot, x, y):
        face.paste(slots[slot], (x, y))

    put(0, 0, 0)
    put(1, 30, 20)
    put(22 if lang == "de" else 21, 528, 22)
    put(23 if lang == "de" else 24, 556, 22)
    put(2, 30, 140)
    put(5, 260, 140)
    put(16 if hover else 15, 274, 168)
    put(9, 262, 188)
    put(10, 306, 197)
    put(18 if hover else 17, 274, 235)
    put(6, 408, 140)
    put(12 if spelling == 0 else 11, 410, 182)
    put(13, 438, 182)
    put(12 if spelling == 1 else 11, 410, 212)
    put(14, 438, 212)
    put(12 if spelling == 2 else 11, 410, 242)
    put(28, 438, 242)
    if not document:
        put(4 if hover else 3, 30, 167)
    else:
        x, y, w, h = DROP_ZONE
        draw.rectangle((x, y, x + w - 1, y + h - 1), fill=ACCENT)
        draw.rectangle((x + 1, y + 1, x + w - 2, y + h - 2), fill=WHITE)
        # One character at a time, wrapping wherever the next one would pass x = 180.
        top, bottom = arial_font.getbbox("AqQ")[1::2]
        pen_x, pen_y = 35, 172
        for ch in SAMPLE_NAME:
            advance = arial_font.getlength(ch)
            if pen_x + advance > x + w - 20:
                pen_x, pen_y = 35, pen_y + (bottom - top) + 2
            draw.text((pen_x, pen_y), ch, font=arial_font, fill=(0, 110, 190))
            pen_x += advance
        put(25, 184, 171)
    put(7, 260, 282)
    put(8, 260, 300)
    x, y, _, _ = BUTTON_AT[lang]
    put(20 if hover else 19, x, y)
    grey = (45, 60, 78) if hover else (100, 110, 122)  # the window's footer colours
    lines = info_lines(lang)
    draw.text(INFO_AREA[:2], lines[0], font=arial_font, fill=grey)
    draw.text((INFO_AREA[0], INFO_AREA[1] + 16), lines[1], font=arial_font, fill=grey)
    output = SAMPLE_NAME.replace(".docx", f"+{step}.docx") if document else ""
    for (x, y, w, h), text, centred in ((STEP_FIELD, step, True), (NAME_FIELD, output, False)):
        field = Image.new("RGB", (w, h), WHITE)
        if text:
            left = (w - arial_font.getlength(text)) / 2 if centred else 1
            ImageDraw.Draw(field).text((left, 0), text, font=arial_font, fill=INK)
        face.paste(field, (x, y))
    return face


def write_preview(pictures, out_dir):
    os.makedirs(out_dir, exist_ok=True)
    variants = (
        ("empty", {}),
        ("document", {"document": True, "spelling": 1, "step": "2"}),
        ("hover", {"hover": True}),
    )
    faces = []
    for lang in ("en", "de"):
        for variant, options in variants:
            face = compose(pictures, lang, **options)
            face.save(os.path.join(out_dir, f"face_{lang}_{variant}.png"))
            faces.append(face)
    # All six side by side: English on the left, German on the right.
    gap = 10
    sheet = Image.new(
        "RGB", (2 * FACE_W + gap, len(variants) * (FACE_H + gap) - gap), (90, 90, 90)
    )
    for i, face in enumerate(faces):
        column, row = divmod(i, len(variants))
        sheet.paste(face, (column * (FACE_W + gap), row * (FACE_H + gap)))
    sheet.save(os.path.join(out_dir, "faces.png"))
    print(f"make_pictures: wrote previews to {out_dir}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--preview", metavar="DIR", help="also compose the whole face into DIR")
    args = parser.parse_args()
    if not features.check("raqm"):
        fail("Pillow cannot shape text (libraqm is missing); install Debian's python3-pil")
    for percent in SCALES:
        pictures = build(percent / 100)
        write_set(pictures, set_dir(percent))
        print(f"make_pictures: wrote {len(pictures)} pictures and {MANIFEST} to {set_dir(percent)}")
    write_icon()
    if args.preview:
        write_preview(read_set(), args.preview)


if __name__ == "__main__":
    main()
