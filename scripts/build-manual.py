#!/usr/bin/env python3
"""Turns the operator's manual (Markdown) into one self-contained HTML page.

    build-manual.py MANUAL.md STYLE.css OUTPUT.html

The page is UTF-8 with its charset declared first in the head, carries the
stylesheet inline (the viewer opens a lone file: nothing else may be needed),
and gets a table of contents of the second- and third-level headings, put
before the first second-level heading. Headings get ids from their text
(Unicode kept), so the manual's own "#..." links resolve. The build runs this
with Debian's interpreter (/usr/bin/python3, package python3-markdown).
"""

import html
import sys

try:
    import markdown
    from markdown.extensions.toc import slugify_unicode
except ImportError:
    sys.exit("build-manual: the Python module 'markdown' is missing "
             "(Debian package python3-markdown; run scripts/setup.sh)")

PAGE = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>{title}</title>
<style>
{style}</style>
</head>
<body>
<main>
{body}
</main>
</body>
</html>
"""


def render_contents(tokens) -> str:
    """Nested list of links to the given headings (toc_tokens of the toc extension)."""
    if not tokens:
        return ""
    items = []
    for token in tokens:
        # The names are escaped for HTML already.
        items.append(f'<li><a href="#{html.escape(token["id"])}">{token["name"]}</a>'
                     f'{render_contents(token["children"])}</li>')
    return "<ul>\n" + "\n".join(items) + "\n</ul>"


def convert(source: str, style: str) -> str:
    md = markdown.Markdown(
        extensions=["tables", "fenced_code", "sane_lists", "toc"],
        extension_configs={"toc": {"slugify": slugify_unicode}},
        output_format="html")
    body = md.convert(source)

    top = md.toc_tokens
    if len(top) != 1 or top[0]["level"] != 1:
        raise ValueError("the manual must have exactly one first-level heading, first")
    title = html.unescape(top[0]["name"])

    sections = top[0]["children"]
    at = body.find("<h2")
    if sections and at >= 0:
        nav = ('<nav class="toc" aria-label="Contents">\n<p class="toc-title">Contents</p>\n'
               + render_contents(sections) + "\n</nav>\n")
        body = body[:at] + nav + body[at:]
    return PAGE.format(title=html.escape(title), style=style, body=body)


def main(argv):
    if len(argv) != 4:
        sys.exit("usage: build-manual.py MANUAL.md STYLE.css OUTPUT.html")
    source_path, style_path, output_path = argv[1:]
    with open(source_path, encoding="utf-8") as f:
        source = f.read()
    with open(style_path, encoding="utf-8") as f:
        style = f.read()
    try:
        page = convert(source, style)
    except ValueError as error:
        sys.exit(f"build-manual: {source_path}: {error}")
    # Unix line ends on every platform: the page is the same bytes everywhere.
    with open(output_path, "w", encoding="utf-8", newline="\n") as f:
        f.write(page)


if __name__ == "__main__":
    main(sys.argv)
