#!/usr/bin/env python3
"""Writes a synthetic photo-library album file (an XML property list).

The output looks like what a photo library writes: the XML declaration and the
plist DOCTYPE line, tab indentation, "List of Albums", "List of Rolls" and a
"Master Image List" of image records. The same options and seed always give
the same bytes.

  make_album.py --photos 2000 --albums 12 out/AlbumData.xml
  make_album.py --target-mb 100 /tmp/big/AlbumData.xml
  make_album.py --photos 20 --image-root /tmp/home/Pictures/lib --create-images out.xml
"""

import argparse
import os
import random
import sys
from xml.sax.saxutils import escape

# The smallest well-formed JPEG (1x1 grey), written as placeholder image file.
TINY_JPEG = bytes.fromhex(
    "ffd8ffe000104a46494600010100000100010000ffdb004300080606070605080707070909080a0c"
    "140d0c0b0b0c1912130f141d1a1f1e1d1a1c1c20242e2720222c231c1c2837292c30313434341f27"
    "393d38323c2e333432ffc0000b080001000101011100ffc4001f0000010501010101010100000000"
    "000000000102030405060708090a0bffc400b5100002010303020403050504040000017d01020300"
    "041105122131410613516107227114328191a1082342b1c11552d1f02433627282090a161718191a"
    "25262728292a3435363738393a434445464748494a535455565758595a636465666768696a737475"
    "767778797a838485868788898a92939495969798999aa2a3a4a5a6a7a8a9aab2b3b4b5b6b7b8b9ba"
    "c2c3c4c5c6c7c8c9cad2d3d4d5d6d7d8d9dae1e2e3e4e5e6e7e8e9eaf1f2f3f4f5f6f7f8f9faffda"
    "0008010100003f00fbd3ffd9"
)

PLACES = ["Beach", "Mountains", "Paris", "Grandma's Garden", "Lake Tahoe", "Office Party",
          "Birthday", "Hiking Trip", "Road Trip", "Snow Day", "Zoo", "Wedding"]
WORDS = ["sunset", "dog", "family", "picnic", "harbour", "bridge", "market", "kids",
         "castle", "forest", "river", "concert", "garden", "street", "train", "cake"]
# Captions and album names with entities and letters beyond ASCII.
FANCY = ["Tom & Jerry", "<Draft> shots", "Caf\u00e9 du Monde", "Z\u00fcrich \u2013 Altstadt",
         "S\u00e3o Paulo", "\u6771\u4eac\u30bf\u30ef\u30fc", "\u00c5re & \u00d6stersund",
         "\"Quoted\" night", "Na\u00efve d\u00e9j\u00e0 vu"]
FANCY_ASCII = ["Tom & Jerry", "<Draft> shots", "\"Quoted\" night", "Fish > Chips", "A&B 'quotes'"]
KEYWORDS = ["1", "2", "3", "5", "8", "13"]
BASE62 = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"


def numeric_refs(text, rng):
    """Writes some characters as numeric character references, as some writers do."""
    out = []
    for ch in text:
        if ord(ch) > 127 or (ch.isalpha() and rng.random() < 0.15):
            out.append("&#%d;" % ord(ch) if rng.random() < 0.5 else "&#x%X;" % ord(ch))
        else:
            out.append(escape(ch))
    return "".join(out)


class Writer:
    def __init__(self, out):
        self.out = out
        self.size = 0

    def line(self, depth, text):
        data = ("\t" * depth + text + "\n").encode("utf-8")
        self.out.write(data)
        self.size += len(data)

    def key(self, depth, name):
        self.line(depth, "<key>%s</key>" % escape(name))

    def string(self, depth, text, raw=False):
        if text == "" and not raw:
            self.line(depth, "<string></string>")
        else:
            self.line(depth, "<string>%s</string>" % (text if raw else escape(text)))

    def integer(self, depth, number):
        self.line(depth, "<integer>%d</integer>" % number)

    def real(self, depth, number):
        self.line(depth, "<real>%.6f</real>" % number)


def guid(rng):
    return "".join(rng.choice(BASE62) for _ in range(22))


class Library:
    def __init__(self, args):
        self.args = args
        self.rng = random.Random(args.seed)
        self.ascii_only = args.ascii_only
        self.root = args.image_root or "/Users/example/Pictures/iPhoto Library"

    def photo_key(self, i):
        return str(1000 + i)

    def photo(self, i):
        """One image record: (key, fields) with its file path."""
        rng = random.Random(self.args.seed * 1000003 + i)
        roll = 1 + i // 48
        year = 2003 + (roll % 8)
        stem = "IMG_%04d" % (i % 10000) if rng.random() < 0.8 else "%s %d" % (rng.choice(PLACES), i)
        name = stem + ".jpg"
        folder = "Roll %d" % roll
        image_path = "%s/Originals/%d/%s/%s" % (self.root, year, folder, name)
        thumb_path = "%s/Data/%d/%s/%s" % (self.root, year, folder, stem + ".jpg")
        caption_kind = rng.random()
        if caption_kind < 0.1:
            caption = None  # no caption at all
        elif caption_kind < 0.2:
            caption = ("raw", numeric_refs(rng.choice(FANCY_ASCII if self.ascii_only else FANCY), rng))
        elif caption_kind < 0.3:
            caption = ("text", rng.choice(FANCY_ASCII if self.ascii_only else FANCY))
        else:
            caption = ("text", stem)
        date = 100000000.0 + i * 3600.0 + rng.random()
        record = {
            "key": self.photo_key(i),
            "caption": caption,
            "comment": rng.choice(["", "", "", " ".join(rng.sample(WORDS, 3))]),
            "guid": guid(rng),
            "roll": roll,
            "rating": rng.choice([0, 0, 0, 1, 3, 5]),
            "image": image_path,
            "thumb": thumb_path,
            "date": date,
            "moddate": date + rng.randint(0, 10 ** 6),
            "keywords": rng.sample(KEYWORDS, rng.randint(0, 3)),
        }
        return record

    def write_photo(self, w, record):
        w.key(2, record["key"])
        w.line(2, "<dict>")
        w.key(3, "MediaType")
        w.string(3, "Image")
        if record["caption"] is not None:
            kind, text = record["caption"]
            w.key(3, "Caption")
            w.string(3, text, raw=(kind == "raw"))
        w.key(3, "Comment")
        w.string(3, record["comment"])
        w.key(3, "GUID")
        w.string(3, record["guid"])
        w.key(3, "Roll")
        w.integer(3, record["roll"])
        w.key(3, "Rating")
        w.integer(3, record["rating"])
        w.key(3, "ImagePath")
        w.string(3, record["image"])
        w.key(3, "ThumbPath")
        w.string(3, record["thumb"])
        w.key(3, "ImageType")
        w.string(3, "JPEG")
        w.key(3, "DateAsTimerInterval")
        w.real(3, record["date"])
        w.key(3, "ModDateAsTimerInterval")
        w.real(3, record["moddate"])
        if record["keywords"]:
            w.key(3, "Keywords")
            w.line(3, "<array>")
            for k in record["keywords"]:
                w.string(4, k)
            w.line(3, "</array>")
        w.line(2, "</dict>")

    def album_members(self, photos, albums):
        """Album 0 holds every photo (the library album); the others a run each."""
        rng = random.Random(self.args.seed * 7919 + 1)
        result = [list(range(photos))]
        for _ in range(1, albums):
            if photos == 0:
                result.append([])
                continue
            size = rng.randint(1, max(1, min(photos, 400)))
            start = rng.randint(0, photos - 1)
            result.append([(start + j) % photos for j in range(size)])
        return result

    def album_name(self, a, rng):
        if a == 0:
            return "Photos"
        if rng.random() < 0.25:
            return rng.choice(FANCY_ASCII if self.ascii_only else FANCY) + " %d" % a
        return "%s %d" % (rng.choice(PLACES), 2003 + a % 8)

    def write(self, out, photos, albums):
        w = Writer(out)
        w.line(0, '<?xml version="1.0" encoding="UTF-8"?>')
        w.line(0, '<!DOCTYPE plist PUBLIC "-//Apple Computer//DTD PLIST 1.0//EN" '
                  '"http://www.apple.com/DTDs/PropertyList-1.0.dtd">')
        w.line(0, '<plist version="1.0">')
        w.line(0, "<dict>")
        w.key(1, "Application Version")
        w.string(1, "6.0.6 (6.0.6)")
        w.key(1, "Archive Path")
        w.string(1, self.root)
        w.key(1, "Major Version")
        w.integer(1, 2)
        w.key(1, "Minor Version")
        w.integer(1, 1)

        rng = random.Random(self.args.seed * 31 + 7)
        w.key(1, "List of Albums")
        w.line(1, "<array>")
        for a, members in enumerate(self.album_members(photos, albums)):
            w.line(2, "<dict>")
            w.key(3, "AlbumId")
            w.integer(3, 999000 + a)
            w.key(3, "AlbumName")
            w.string(3, self.album_name(a, rng))
            w.key(3, "Album Type")
            w.string(3, "99" if a == 0 else "Regular")
            w.key(3, "GUID")
            w.string(3, guid(rng))
            if a == 0:
                w.key(3, "Master")
                w.line(3, "<true/>")
            w.key(3, "PhotoCount")
            w.integer(3, len(members))
            w.key(3, "KeyList")
            w.line(3, "<array>")
            for m in members:
                w.string(4, self.photo_key(m))
            w.line(3, "</array>")
            w.line(2, "</dict>")
        w.line(1, "</array>")

        w.key(1, "List of Rolls")
        w.line(1, "<array>")
        rolls = (photos + 47) // 48
        for r in range(rolls):
            first, last = r * 48, min(photos, (r + 1) * 48)
            w.line(2, "<dict>")
            w.key(3, "RollID")
            w.integer(3, r + 1)
            w.key(3, "RollName")
            w.string(3, "Roll %d" % (r + 1))
            w.key(3, "RollDateAsTimerInterval")
            w.real(3, 100000000.0 + first * 3600.0)
            w.key(3, "KeyPhotoKey")
            w.string(3, self.photo_key(first))
            w.key(3, "PhotoCount")
            w.integer(3, last - first)
            w.key(3, "KeyList")
            w.line(3, "<array>")
            for m in range(first, last):
                w.string(4, self.photo_key(m))
            w.line(3, "</array>")
            w.line(2, "</dict>")
        w.line(1, "</array>")

        w.key(1, "Master Image List")
        w.line(1, "<dict>")
        for i in range(photos):
            record = self.photo(i)
            self.write_photo(w, record)
            if self.args.create_images:
                path = record["image"]
                os.makedirs(os.path.dirname(path), exist_ok=True)
                with open(path, "wb") as f:
                    f.write(TINY_JPEG)
        w.line(1, "</dict>")
        w.line(0, "</dict>")
        w.line(0, "</plist>")
        return w.size


class Counter:
    """A sink that only counts, to size a library before writing it."""

    def __init__(self):
        self.size = 0

    def write(self, data):
        self.size += len(data)


def photos_for_target(args, albums):
    """The number of photos that brings the file to about --target-mb."""
    target = int(args.target_mb * 1024 * 1024)
    sample = 2000
    probe = argparse.Namespace(**vars(args))
    probe.create_images = False
    small = Library(probe).write(Counter(), sample // 2, albums)
    large = Library(probe).write(Counter(), sample, albums)
    per_photo = (large - small) / (sample - sample // 2)
    fixed = small - per_photo * (sample // 2)
    return max(0, int((target - fixed) / per_photo))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("output", help="path of the album file to write ('-' for standard output)")
    parser.add_argument("--photos", type=int, default=1000, help="number of photos (default 1000)")
    parser.add_argument("--albums", type=int, default=20, help="number of albums (default 20)")
    parser.add_argument("--seed", type=int, default=1, help="seed of the generator (default 1)")
    parser.add_argument("--target-mb", type=float, help="choose the number of photos to reach about this size")
    parser.add_argument("--image-root", help="folder the image paths point into (default a fictitious library)")
    parser.add_argument("--create-images", action="store_true",
                        help="write a tiny placeholder JPEG at every image path (needs --image-root)")
    parser.add_argument("--ascii-only", action="store_true",
                        help="captions and album names in ASCII only (an exportable library)")
    args = parser.parse_args(argv)
    if args.create_images and not args.image_root:
        parser.error("--create-images needs --image-root")
    if args.image_root:
        args.image_root = os.path.abspath(args.image_root).rstrip("/") or "/"
    photos = photos_for_target(args, args.albums) if args.target_mb else args.photos

    if args.output == "-":
        size = Library(args).write(sys.stdout.buffer, photos, args.albums)
    else:
        folder = os.path.dirname(os.path.abspath(args.output))
        os.makedirs(folder, exist_ok=True)
        with open(args.output, "wb") as out:
            size = Library(args).write(out, photos, args.albums)
    print("wrote %d photos, %d albums, %d bytes" % (photos, args.albums, size), file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
