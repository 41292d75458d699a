#!/usr/bin/env python3
# The manual pages as Markdown, for reading on the repository's web page: each
# roff page in docs/man/ rendered by groff as man shows it at 80 columns, left
# aligned and without hyphenation, one heading and one text block a section.
# The roff page is the source; the Markdown copy beside it (NAME.1.md) is
# written by scripts/man-pages and checked by the manual pages' test.
#
#   man_markdown.py [--check] MAN_DIR
#
# Without --check it writes the copies that differ; with --check it writes
# nothing and exits 1, naming each copy that differs from its page.

import os, subprocess, sys  # noqa: E401

PAGES = ("patchview.1", "patchview-record.1", "patchview-measure.1")

# Left aligned and no hyphenation, whatever the page or an.tmac asks for: a
# text block on the web is read at any width.
PRELUDE = """.rn hy hy*orig
.de hy
..
.rn ad ad*orig
.de ad
.ad*orig l
..
.nh
.ad l
"""


def rendered(source):
    """The roff page at `source` as man's plain text at 80 columns."""
    with open(source, encoding="utf-8") as f:
        roff = f.read()
    env = dict(os.environ, LC_ALL="C.UTF-8")
    done = subprocess.run(["groff", "-man", "-Tutf8", "-rLL=80n", "-rcR=1", "-P-cbou", "-ww"],
                          input=PRELUDE + roff, env=env, capture_output=True, text=True,
                          timeout=30)
    if done.returncode != 0 or done.stderr:
        raise RuntimeError(source + ": groff: " + done.stderr.strip())
    return done.stdout


def markdown(source):
    """The Markdown copy of the roff page at `source`."""
    name = os.path.basename(source)
    lines = [line.rstrip() for line in rendered(source).splitlines()]
    while lines and not lines[-1]:
        lines.pop()
    header, footer, body = lines[0], lines[-1], lines[1:-1]
    title = header.split()[0].lower()
    out = ["# " + title, "",
           "<!-- Rendered from " + name + " by scripts/man-pages: change the roff page, "
           "then run scripts/man-pages. -->", ""]
    sections = []
    for line in body:
        if line and not line[0].isspace():
            sections.append((line, []))
        elif sections:
            sections[-1][1].append(line[7:] if line.startswith(" " * 7) else line.lstrip())
    for heading, text in sections:
        while text and not text[0]:
            text.pop(0)
        while text and not text[-1]:
            text.pop()
        out += ["## " + heading, "", "```text", *text, "```", ""]
    out.append(" ".join(footer.split()))
    return "\n".join(out) + "\n"


def main(argv):
    check = argv[:1] == ["--check"]
    if check:
        argv = argv[1:]
    if len(argv) != 1:
        sys.exit("usage: man_markdown.py [--check] MAN_DIR")
    stale = []
    for page in PAGES:
        source = os.path.join(argv[0], page)
        copy = source + ".md"
        text = markdown(source)
        try:
            with open(copy, encoding="utf-8") as f:
                current = f.read() == text
        except FileNotFoundError:
            current = False
        if current:
            continue
        stale.append(copy)
        if not check:
            with open(copy, "w", encoding="utf-8") as f:
                f.write(text)
    for copy in stale:
        print(("out of date: " if check else "rendered: ") + copy,
              file=sys.stderr if check else sys.stdout)
    if check and stale:
        print("run scripts/man-pages to render them again", file=sys.stderr)
        sys.exit(1)


if __name__ == "__main__":
    main(sys.argv[1:])
