#!/usr/bin/python3
"""The real-art set: 45 pictures cut from Debian packages, the same on every machine.

    /usr/bin/python3 bench/real_art.py [--cache DIR] [--list] [--sheet FILE]

Downloads the packages named in SOURCES with `apt-get download` (nothing is installed; when a download
fails, `apt-get update` is run once, as root), unpacks each with `dpkg-deb -x`, and cuts the named
files into PNG pictures at fixed boxes. Everything lives in the cache folder (default /var/tmp/nrbx-art,
or $NRBX_ART, or --cache): debs/ the packages, x/PKG/ their contents, pictures/NAME.png the set. A
picture already made is kept; delete pictures/ to cut them again. The pictures are not part of the
repository. The downloads come to about 300 MB (wesnoth-1.16-data is half of it), 500 MB once unpacked.
The same versions of the packages give the same pictures; --list prints the versions in the cache (a
Debian point release may bring newer ones).

How a picture is cut (one row of SOURCES): each listed file is opened as RGBA, cropped to BOX (x0, y0,
x1, y1 in the file's pixels; None is the whole file; ("centre", w, h) a centred box), scaled to SIZE with
Pillow's LANCZOS filter when the box is another size, and the pieces are laid left to right, COLS to a
row. Alpha is then made hard (below 128 transparent with black colour, the rest opaque), as a
four-bit-per-pixel sprite has it. FIT makes a picture that fits nrbx's palette grid: its opaque colours
reduced to N by Pillow's median cut, then each channel put on a five-bit level v, shown as v*8 ("v8") or
by replication v*8 + v//4 ("rep"); ("almost", N) reduces to N colours without putting them on the grid.
Every side is a multiple of 16 and at most 256.

Kinds: sprite, tiles, icon, portrait, wallpaper, fits (already on the grid), almost (few colours, off the
grid).

Needs python3-pil (Debian; hence /usr/bin/python3), apt-get and dpkg-deb.
"""

import argparse
import glob
import os
import subprocess
import sys

try:
    from PIL import Image
except ImportError as e:
    raise SystemExit(f"{e}: run with Debian's /usr/bin/python3 with python3-pil installed (scripts/install-deps.sh)")

DEFAULT_CACHE = "/var/tmp/nrbx-art"

WES = "usr/share/games/wesnoth/1.16/data/core/images/"
FREECIV = "usr/share/games/freeciv/"
FD = "usr/share/games/freedroid/graphics/"
FB = "usr/share/games/frozen-bubble/gfx/"
PINGUS = "usr/share/games/pingus/data/images/"
LB = "usr/share/games/lbreakout2/gfx/"
OXY = "usr/share/icons/oxygen/base/"
ADW = "usr/share/icons/Adwaita/"
DB = "usr/share/desktop-base/"
GB = "usr/share/backgrounds/gnome/"

WES_UNITS = ["human-loyalists/lieutenant", "human-loyalists/spearman", "human-loyalists/bowman", "human-magi/mage",
             "elves-wood/archer", "elves-wood/fighter", "elves-wood/shaman", "dwarves/fighter",
             "orcs/grunt", "orcs/archer", "drakes/burner", "merfolk/fighter",
             "trolls/whelp", "goblins/spearman", "monsters/gryphon", "woses/wose"]
WES_TERRAIN = ["grass/green", "grass/green2", "grass/dry", "grass/dry2", "sand/beach", "sand/desert", "hills/regular",
               "hills/dry", "frozen/snow", "frozen/ice", "flat/dirt-dark", "flat/desert-road", "hills/snow",
               "sand/beach2", "grass/green3", "hills/desert"]
OXY_APPS = ["accessories-calculator", "accessories-dictionary", "akregator", "amarok", "ark", "clock", "digikam",
            "filelight", "gwenview", "help-browser", "inkscape", "internet-mail", "internet-web-browser", "k3b",
            "kaddressbook", "kalarm"]

# name, kind, package, files, box, size, cols, fit
SOURCES = [
    # sprites and sprite sheets
    ("wesnoth-units", "sprite", "wesnoth-1.16-data", [WES + f"units/{u}.png" for u in WES_UNITS],
     ("centre", 64, 64), (64, 64), 4, None),
    ("wesnoth-units-small", "sprite", "wesnoth-1.16-data", [WES + f"units/{u}.png" for u in WES_UNITS[:8]],
     None, (48, 48), 4, None),
    ("pingus-walker", "sprite", "pingus-data", [PINGUS + "pingus/player0/walker.png"], None, (256, 64), 1, None),
    ("pingus-actions", "sprite", "pingus-data",
     [PINGUS + f"pingus/player0/{a}.png" for a in ("faller", "floater", "tumble", "bomber", "splat", "digger")],
     (0, 0, 256, 32), (256, 32), 1, None),
    ("freedroid-droids", "sprite", "freedroid-data", [FD + "lanzz_theme/droids.png"], (0, 0, 256, 128),
     (256, 128), 1, None),
    ("freedroid-blast", "sprite", "freedroid-data", [FD + "lanzz_theme/blast.png"], (0, 0, 256, 256), (256, 256), 1,
     None),
    ("freedroid-ship", "sprite", "freedroid-data", [FD + "001.png", FD + "999.png"], (2, 2, 130, 178), (128, 176), 2,
     None),
    ("frozen-bubble-balls", "sprite", "frozen-bubble-data",
     [FB + f"balls/bubble-{i}-mini.png" for i in range(1, 9)] +
     [FB + f"balls/bubble-colourblind-{i}-mini.png" for i in range(1, 9)], None, (16, 16), 8, None),
    ("frozen-bubble-penguin", "sprite", "frozen-bubble-data",
     [FB + f"pinguins/anime-shooter_p1_00{i:02d}.png" for i in range(1, 13, 1)], (0, 0, 80, 48), (80, 48), 3, None),
    ("frozen-bubble-character", "sprite", "frozen-bubble-data", [FB + "left-rp1.png"], (5, 10, 245, 330),
     (192, 256), 1, None),
    # tile sets
    ("freeciv-trident", "tiles", "freeciv-data", [FREECIV + "trident/tiles.png"], (0, 0, 256, 256), (256, 256), 1,
     None),
    ("freeciv-amplio2-terrain", "tiles", "freeciv-data", [FREECIV + "amplio2/terrain1.png"], (0, 0, 384, 384),
     (256, 256), 1, None),
    ("freeciv-hex2t", "tiles", "freeciv-data", [FREECIV + "hex2t/tiles.png"], (0, 0, 256, 256),
     (256, 256), 1, None),
    ("freeciv-hexemplio", "tiles", "freeciv-data", [FREECIV + "hexemplio/terrain.png"], (0, 0, 384, 256),
     (384 // 3 * 2, 256 // 3 * 2 // 16 * 16), 1, None),
    ("freedroid-blocks", "tiles", "freedroid-data", [FD + "classic_theme/map_blocks.png"], (0, 0, 256, 256),
     (256, 256), 1, None),
    ("freedroid-blocks-para", "tiles", "freedroid-data", [FD + "para90_theme/map_blocks.png"], (512, 0, 768, 256),
     (256, 256), 1, None),
    ("wesnoth-terrain", "tiles", "wesnoth-1.16-data", [WES + f"terrain/{t}.png" for t in WES_TERRAIN],
     ("centre", 64, 64), (64, 64), 4, None),
    ("lbreakout2-back", "tiles", "lbreakout2-data", [LB + "AbsoluteB/back0.png"], None, (256, 256), 1, None),
    ("lbreakout2-oz-back", "tiles", "lbreakout2-data", [LB + "Oz/back1.png"], None, (256, 256), 1, None),
    ("pingus-ground", "tiles", "pingus-data", [PINGUS + "textures/clouds.jpg"], (0, 0, 256, 256), (256, 256), 1,
     None),
    # icons
    ("oxygen-browser", "icon", "oxygen-icon-theme", [OXY + "256x256/apps/internet-web-browser.png"], None,
     (256, 256), 1, None),
    ("oxygen-calculator", "icon", "oxygen-icon-theme", [OXY + "256x256/apps/accessories-calculator.png"], None,
     (128, 128), 1, None),
    ("oxygen-digikam", "icon", "oxygen-icon-theme", [OXY + "256x256/apps/digikam.png"], None, (256, 256), 1, None),
    ("oxygen-clock", "icon", "oxygen-icon-theme", [OXY + "128x128/apps/clock.png"], None, (128, 128), 1, None),
    ("oxygen-apps-sheet", "icon", "oxygen-icon-theme", [OXY + f"64x64/apps/{a}.png" for a in OXY_APPS], None,
     (64, 64), 4, None),
    ("adwaita-trash", "icon", "adwaita-icon-theme", [ADW + "256x256/places/user-trash.png"], None, (256, 256), 1,
     None),
    ("adwaita-repository", "icon", "adwaita-icon-theme", [ADW + "256x256/mimetypes/x-package-repository.png"],
     None, (128, 128), 1, None),
    # portraits
    ("portrait-drake-burner", "portrait", "wesnoth-1.16-data", [WES + "portraits/drakes/burner.png"], None,
     (256, 256), 1, None),
    ("portrait-dwarf-lord", "portrait", "wesnoth-1.16-data", [WES + "portraits/dwarves/lord.png"], None,
     (256, 256), 1, None),
    ("portrait-elf-druid", "portrait", "wesnoth-1.16-data", [WES + "portraits/elves/druid.png"], None, (256, 256),
     1, None),
    ("portrait-human-bandit", "portrait", "wesnoth-1.16-data", [WES + "portraits/humans/bandit.png"], None,
     (256, 256), 1, None),
    ("portrait-undead-ghost", "portrait", "wesnoth-1.16-data", [WES + "portraits/undead/ghost.png"], None,
     (256, 256), 1, None),
    ("portrait-face-crop", "portrait", "wesnoth-1.16-data", [WES + "portraits/humans/cavalier.png"],
     (60, 0, 300, 240), (256, 256), 1, None),
    # wallpapers
    ("wallpaper-joy", "wallpaper", "desktop-base", [DB + "joy-theme/grub/grub-16x9.png"], None, (256, 144), 1,
     None),
    ("wallpaper-futureprototype", "wallpaper", "desktop-base", [DB + "futureprototype-theme/grub/grub-16x9.png"], None,
     (256, 144), 1, None),
    ("wallpaper-softwaves", "wallpaper", "desktop-base", [DB + "softwaves-theme/grub/grub-16x9.png"], None,
     (256, 144), 1, None),
    ("wallpaper-gnome-adwaita", "wallpaper", "gnome-backgrounds", [GB + "adwaita-d.webp"], None, (256, 256), 1,
     None),
    ("wallpaper-gnome-wood", "wallpaper", "gnome-backgrounds", [GB + "wood-l.webp"], (1024, 1024, 3072, 3072),
     (256, 256), 1, None),
    ("wallpaper-frozen-bubble", "wallpaper", "frozen-bubble-data", [FB + "backgrnd.png"], None, (256, 192), 1,
     None),
    # pictures that fit the grid as they are, and ones that almost do
    ("fits-pingus-v8", "fits", "pingus-data", [PINGUS + "pingus/player0/bridger.png"], (0, 0, 256, 64),
     (256, 64), 1, ("v8", 15)),
    ("fits-penguin-rep", "fits", "frozen-bubble-data",
     [FB + f"pinguins/anime-shooter_p1_00{i:02d}.png" for i in range(1, 7)], (0, 0, 80, 48), (80, 48), 3,
     ("rep", 15)),
    ("fits-balls-v8", "fits", "frozen-bubble-data", [FB + f"balls/bubble-{i}-mini.png" for i in range(1, 9)], None,
     (16, 16), 4, ("v8", 15)),
    ("almost-pingus", "almost", "pingus-data", [PINGUS + "pingus/player0/miner.png"], (0, 0, 256, 64), (256, 64), 1,
     ("almost", 14)),
    ("almost-icon", "almost", "oxygen-icon-theme", [OXY + "64x64/apps/clock.png"], None, (64, 64), 1,
     ("almost", 12)),
    ("almost-lbreakout2-paddle", "almost", "lbreakout2-data", [LB + "AbsoluteB/paddle.png"], (0, 0, 96, 64),
     (96, 64), 1, ("almost", 16)),
]


def cache_folder(given=None):
    return given or os.environ.get("NRBX_ART") or DEFAULT_CACHE


def fetch(package, cache, log=sys.stderr):
    """The package's contents, unpacked under cache/x/PACKAGE (downloaded once)."""
    target = os.path.join(cache, "x", package)
    if os.path.isdir(target):
        return target
    debs = os.path.join(cache, "debs")
    os.makedirs(debs, exist_ok=True)
    found = glob.glob(os.path.join(debs, package + "_*.deb"))
    for attempt in range(2):
        if found:
            break
        if attempt and os.geteuid() == 0:  # apt may have no package lists yet
            print("real-art: apt-get update", file=log)
            subprocess.run(["apt-get", "update", "-qq"], capture_output=True)
        print(f"real-art: apt-get download {package}", file=log)
        result = subprocess.run(["apt-get", "download", "-q", package], cwd=debs, capture_output=True, text=True)
        found = glob.glob(os.path.join(debs, package + "_*.deb"))
    if not found:
        raise SystemExit(f"real-art: could not download {package} (apt-get update first?):\n{result.stderr}")
    partial = target + ".partial"
    subprocess.run(["rm", "-rf", partial], check=True)
    os.makedirs(partial)
    subprocess.run(["dpkg-deb", "-x", found[0], partial], check=True)
    os.rename(partial, target)
    return target


def versions(cache=None):
    """{package: version} of the packages downloaded into the cache (Debian point releases may
    bring newer ones, and so slightly other pictures: keep this beside any figures)."""
    used = {source[2] for source in SOURCES}
    out = {}
    for deb in sorted(glob.glob(os.path.join(cache_folder(cache), "debs", "*.deb"))):
        name, version = os.path.basename(deb).split("_")[:2]
        if name in used:
            out[name] = version.replace("%3a", ":")
    return out


def snap(value, how):
    v = value >> 3
    return v * 8 + (v // 4 if how == "rep" else 0)


def few_colours(picture, count, how):
    """The opaque colours reduced to COUNT by median cut and, unless how is "almost", put on the grid."""
    rgb = picture.convert("RGB")
    opaque = picture.getchannel("A")
    reduced = rgb.quantize(colors=count, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    table = reduced.getpalette()[:count * 3]
    if how != "almost":
        table = [snap(v, how) for v in table]
    reduced.putpalette(table + [0] * (768 - len(table)))
    out = reduced.convert("RGB").convert("RGBA")
    out.putalpha(opaque)
    return out


def harden(picture):
    alpha = picture.getchannel("A").point(lambda a: 255 if a >= 128 else 0)
    black = Image.new("RGBA", picture.size, (0, 0, 0, 0))
    out = picture.copy()
    out.putalpha(alpha)
    return Image.composite(out, black, alpha)


def cut(source, root):
    name, kind, package, files, box, size, cols, fit = source
    pieces = []
    for path in files:
        piece = Image.open(os.path.join(root, path)).convert("RGBA")
        if box is not None:
            if box[0] == "centre":
                w, h = box[1], box[2]
                x0, y0 = (piece.width - w) // 2, (piece.height - h) // 2
                piece = piece.crop((x0, y0, x0 + w, y0 + h))
            else:
                piece = piece.crop(box)
        if piece.size != tuple(size):
            piece = piece.resize(size, Image.LANCZOS)
        pieces.append(piece)
    rows = (len(pieces) + cols - 1) // cols
    sheet = Image.new("RGBA", (size[0] * min(cols, len(pieces)), size[1] * rows), (0, 0, 0, 0))
    for i, piece in enumerate(pieces):
        sheet.paste(piece, ((i % cols) * size[0], (i // cols) * size[1]))
    sheet = harden(sheet)
    if fit is not None:
        sheet = harden(few_colours(sheet, fit[1], fit[0]))
    w, h = sheet.size
    if w % 16 or h % 16 or w > 256 or h > 256:
        raise SystemExit(f"real-art: {name} is {w}x{h}: sides must be multiples of 16, at most 256")
    return sheet


def make(cache=None, only=None, log=sys.stderr):
    """Makes the missing pictures; returns [(name, kind, path)] in the order of SOURCES."""
    cache = cache_folder(cache)
    folder = os.path.join(cache, "pictures")
    os.makedirs(folder, exist_ok=True)
    made = []
    for source in SOURCES:
        name, kind, package = source[:3]
        if only and name not in only:
            continue
        path = os.path.join(folder, name + ".png")
        if not os.path.exists(path):
            root = fetch(package, cache, log)
            picture = cut(source, root)
            picture.save(path + ".tmp.png")
            os.replace(path + ".tmp.png", path)
        made.append((name, kind, path))
    return made


def contact_sheet(pictures, out):
    """All pictures on one grey sheet (for looking at the set)."""
    cols = 6
    cell = 264
    rows = (len(pictures) + cols - 1) // cols
    sheet = Image.new("RGB", (cols * cell, rows * cell), (128, 128, 128))
    for i, (_, _, path) in enumerate(pictures):
        p = Image.open(path)
        sheet.paste(p, ((i % cols) * cell + 4, (i // cols) * cell + 4), p)
    sheet.save(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cache", help=f"cache folder (default $NRBX_ART or {DEFAULT_CACHE})")
    parser.add_argument("--only", nargs="*", help="only these pictures")
    parser.add_argument("--list", action="store_true", help="print name, kind, size and colour count")
    parser.add_argument("--sheet", help="also write all pictures on one PNG sheet")
    args = parser.parse_args()
    pictures = make(args.cache, args.only)
    if args.list:
        for name, kind, path in pictures:
            p = Image.open(path)
            colours = len(p.getcolors(1 << 20) or [])
            print(f"{name:28} {kind:10} {p.width:3}x{p.height:<3} {colours:6} colours")
    if args.sheet:
        contact_sheet(pictures, args.sheet)
    if args.list:
        for package, version in versions(args.cache).items():
            print(f"{package} {version}")
    print(f"{len(pictures)} pictures in {os.path.join(cache_folder(args.cache), 'pictures')}")


if __name__ == "__main__":
    sys.exit(main())
