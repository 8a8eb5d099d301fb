#!/usr/bin/python3
"""Turns one manual written in Markdown into HTML (for the browser) and PDF (for printing).

Usage: build_manual.py SOURCE.md STYLE.css IMAGES_DIR OUT_BASE
Writes OUT_BASE.html and OUT_BASE.pdf. The first line of the source ("# Title") is the title; a line
"[TOC]" becomes the table of contents. Images are written as "../images/<path>" (the manuals are served
beside the images); IMAGES_DIR is where those files are while the PDF is made.
"""

import html
import logging
import os
import re
import sys

import markdown
import weasyprint

IMAGE_PREFIX = "../images/"

PAGE = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="author" content="Quennet Systems">
<title>{title}</title>
<style>
{style}</style>
</head>
<body>
<header class="cover">
<img class="logo" src="../images/icons/prod_logo.gif" alt="Morvale">
<h1 class="title">{title}</h1>
<p class="subtitle">{subtitle}</p>
</header>
{body}
</body>
</html>
"""


def build(source, style_path, images_dir, out_base):
    with open(source, encoding="utf-8") as f:
        lines = f.read().split("\n")
    if not lines or not lines[0].startswith("# "):
        raise SystemExit(f"{source}: the first line must be the title (# ...)")
    title = lines[0][2:].strip()
    rest = lines[1:]
    # The paragraph right under the title is the subtitle of the cover.
    while rest and not rest[0].strip():
        rest.pop(0)
    subtitle = []
    while rest and rest[0].strip():
        subtitle.append(rest.pop(0).strip())
    with open(style_path, encoding="utf-8") as f:
        style = f.read()

    md = markdown.Markdown(
        extensions=["tables", "toc", "attr_list", "sane_lists"],
        extension_configs={"toc": {"toc_depth": "1-2", "title": "Contents"}},
    )
    body = md.convert("\n".join(rest))

    missing = []
    for src in re.findall(r'<img[^>]* src="([^"]+)"', body):
        if not src.startswith(IMAGE_PREFIX):
            raise SystemExit(f"{source}: image {src} must be named as {IMAGE_PREFIX}<path>")
        if not os.path.isfile(os.path.join(images_dir, src[len(IMAGE_PREFIX):])):
            missing.append(src)
    if missing:
        raise SystemExit(f"{source}: images not found in {images_dir}: {', '.join(missing)}")

    page = PAGE.format(title=html.escape(title), subtitle=html.escape(" ".join(subtitle)), style=style, body=body)
    with open(out_base + ".html", "w", encoding="utf-8") as f:
        f.write(page)

    # For the PDF the images are read from the installation's image folder.
    images_url = "file://" + os.path.abspath(images_dir) + "/"
    printable = page.replace(f'src="{IMAGE_PREFIX}', f'src="{images_url}')
    logging.getLogger("weasyprint").setLevel(logging.ERROR)
    weasyprint.HTML(string=printable, base_url=os.path.dirname(os.path.abspath(source))).write_pdf(
        out_base + ".pdf"
    )


def main():
    if len(sys.argv) != 5:
        raise SystemExit("usage: build_manual.py SOURCE.md STYLE.css IMAGES_DIR OUT_BASE")
    build(*sys.argv[1:])


if __name__ == "__main__":
    main()
