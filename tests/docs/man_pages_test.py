#!/usr/bin/env python3
# The manual pages against the programs: each renders without a single
# warning from man and groff (all of groff's warnings on) and has the usual
# sections; each lists exactly the options that its program's --help shows;
# the pages and --version name the project's version; the Markdown copies
# that the repository's web page shows are the pages' current rendering, and
# a copy that lags behind its page is caught.
#
#   man_pages_test.py MAN_DIR VERSION PATCHVIEW_RECORD PATCHVIEW_MEASURE MAN_MARKDOWN
#                     [unittest options]

import os, re, shutil, subprocess, sys, tempfile, unittest  # noqa: E401

PAGES = ("patchview", "patchview-record", "patchview-measure")
SECTIONS = ("NAME", "SYNOPSIS", "DESCRIPTION", "OPTIONS", "EXIT STATUS", "EXAMPLES", "SEE ALSO")
# The options a text names: --long ones and the single-letter -h.
OPTION = re.compile(r"(?<![\w-])(--[a-z][a-z-]*|-h)\b")


def render(page, width=80):
    """The page as man shows it at `width` columns, and what man and groff said."""
    env = dict(os.environ, LC_ALL="C.UTF-8", MANROFFSEQ="", MANWIDTH=str(width),
               MAN_KEEP_FORMATTING="")
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


class MarkdownCopies(unittest.TestCase):
    def check(self, man_dir):
        return subprocess.run([sys.executable, MAN_MARKDOWN, "--check", man_dir],
                              capture_output=True, text=True, timeout=60)

    def test_copies_are_the_current_rendering(self):
        done = self.check(MAN_DIR)
        self.assertEqual((done.returncode, done.stderr), (0, ""),
                         "the Markdown copies differ from their pages: run scripts/man-pages")

    def test_copies_show_every_section_and_option_of_the_page(self):
        for page in PAGES:
            with open(os.path.join(MAN_DIR, page + ".1.md"), encoding="utf-8") as f:
                copy = f.read()
            self.assertTrue(copy.startswith("# " + page + "(1)\n"), page)
            headings = re.findall(r"^## (.+)$", copy, re.M)
            for section in SECTIONS:
                self.assertIn(section, headings, page)
            self.assertEqual(set(OPTION.findall(copy)),
                             # So wide that no option is hyphenated at a line's end.
                             set(OPTION.findall(render(page, 1000)[1])), page)
            self.assertTrue(copy.rstrip().splitlines()[-1].startswith("patchview " + VERSION + " "),
                            page)

    def test_a_copy_behind_its_page_is_caught_and_rendered_again(self):
        with tempfile.TemporaryDirectory() as work:
            for page in PAGES:
                for name in (page + ".1", page + ".1.md"):
                    shutil.copy(os.path.join(MAN_DIR, name), work)
            source = os.path.join(work, "patchview-record.1")
            with open(source, "a", encoding="utf-8") as f:
                f.write(".PP\nA sentence that the copy lacks.\n")
            done = self.check(work)
            self.assertEqual(done.returncode, 1)
            self.assertIn("patchview-record.1.md", done.stderr)
            self.assertNotIn("patchview-measure.1.md", done.stderr)
            done = subprocess.run([sys.executable, MAN_MARKDOWN, work],
                                  capture_output=True, text=True, timeout=60)
            self.assertEqual(done.returncode, 0, done.stderr)
            with open(source + ".md", encoding="utf-8") as f:
                self.assertIn("A sentence that the copy lacks.", f.read())
            self.assertEqual(self.check(work).returncode, 0)


if __name__ == "__main__":
    MAN_DIR, VERSION, RECORD, MEASURE, MAN_MARKDOWN = sys.argv[1:6]
    unittest.main(argv=[sys.argv[0], *sys.argv[6:]])
