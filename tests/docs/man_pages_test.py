#!/usr/bin/env python3
# The manual pages against the programs: each renders without a single
# warning from man and groff (all of groff's warnings on) and has the usual
# sections; each lists exactly the options that its program's --help shows;
# the pages and --version name the project's version.
#
#   man_pages_test.py MAN_DIR VERSION PATCHVIEW_RECORD PATCHVIEW_MEASURE [unittest options]

import os, re, subprocess, sys, unittest  # noqa: E401

PAGES = ("patchview", "patchview-record", "patchview-measure")
SECTIONS = ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "EXAMPLES", "SEE ALSO")
# The options a text names: --long ones and the single-letter -h.
OPTION = re.compile(r"(?<![\w-])(--[a-z][a-z-]*|-h)\b")


def render(page):
    """The page as man shows it at 80 columns, and what man and groff said."""
    env = dict(os.environ, LC_ALL="C.UTF-8", MANROFFSEQ="", MANWIDTH="80", MAN_KEEP_FORMATTING="")
    env.pop("MANPAGER", None)
    env.pop("PAGER", None)
    done = subprocess.run(["man", "--warnings=w", "-E", "UTF-8", "-l", os.path.join(MAN_DIR, page + ".1")],
                          env=env, capture_output=True, text=True, timeout=30)
    return done.returncode, done.stdout, done.stderr


def sections(text):
    """The rendered page's sections by heading."""
    found, heading = {}, None
    for line in text.splitlines():
        if line and not line[0].isspace() and line.isupper() or line in SECTIONS:
            heading = line.strip()
            found[heading] = []
        elif heading:
            found[heading].append(line)
    return {k: "\n".join(v) for k, v in found.items()}


class ManPages(unittest.TestCase):
    def test_pages_render_without_warnings(self):
        for page in PAGES:
            status, text, warnings = render(page)
            self.assertEqual((status, warnings), (0, ""), page)
            have = sections(text)
            for section in SECTIONS:
                self.assertIn(section, have, page)
            self.assertTrue(text.splitlines()[-1].startswith("patchview " + VERSION + " "),
                            page + " names another version: " + text.splitlines()[-1])

    def test_pages_list_exactly_the_options_of_help(self):
        for page, program in (("patchview-record", RECORD), ("patchview-measure", MEASURE)):
            done = subprocess.run([program, "--help"], capture_output=True, text=True,
                                  stdin=subprocess.DEVNULL, timeout=30)
            self.assertEqual((done.returncode, done.stderr), (0, ""), program)
            helped = set(OPTION.findall(done.stdout))
            self.assertIn("--version", helped, program)
            listed = set(OPTION.findall(sections(render(page)[1])["OPTIONS"]))
            # The OPTIONS section may show the form --option=value.
            listed.discard("--option")
            self.assertEqual(listed, helped, page + ": options of the page and of --help")

    def test_version_names_the_project_version(self):
        for program in (RECORD, MEASURE):
            name = os.path.basename(program)
            done = subprocess.run([program, "--version"], capture_output=True, text=True,
                                  stdin=subprocess.DEVNULL, timeout=30)
            self.assertEqual((done.returncode, done.stdout, done.stderr),
                             (0, name + " " + VERSION + "\n", ""), name)
        done = subprocess.run([RECORD, "--version=1"], capture_output=True, text=True,
                              stdin=subprocess.DEVNULL, timeout=30)
        self.assertEqual((done.returncode, done.stdout), (2, ""), "--version takes no value")


if __name__ == "__main__":
    MAN_DIR, VERSION, RECORD, MEASURE = sys.argv[1:5]
    unittest.main(argv=[sys.argv[0], *sys.argv[5:]])
