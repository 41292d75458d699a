#!/usr/bin/env python3
# The documents against the tree: each fact has one place, and these checks
# keep the places true. The README stays a front page that names only options
# the programs have; every link of the README and of docs/ leads to a file;
# every script is described in docs/development.md, and every script that a
# document names exists and takes the options written in its usage; the
# CMake options and the CI steps of docs/development.md are those of the
# tree.
#
#   docs_test.py SOURCE_DIR PATCHVIEW_RECORD PATCHVIEW_MEASURE [unittest options]

import glob, os, re, subprocess, sys, unittest  # noqa: E401

OPTION = re.compile(r"(?<![\w-])(--[a-z][a-z-]*[a-z])\b")
LINK = re.compile(r"\]\(([^)#\s]+)(?:#[^)]*)?\)")
SPAN = re.compile(r"`([^`]+)`")


def read(*path):
    with open(os.path.join(SOURCE, *path), encoding="utf-8") as f:
        return f.read()


def documents():
    """Each Markdown document of the project, by its path in the tree."""
    paths = ["README.md"] + sorted(os.path.relpath(p, SOURCE)
                                   for p in glob.glob(os.path.join(SOURCE, "docs", "**", "*.md"),
                                                      recursive=True))
    return {p: read(p) for p in paths}


def helped(program):
    done = subprocess.run([program, "--help"], capture_output=True, text=True,
                          stdin=subprocess.DEVNULL, timeout=30)
    assert done.returncode == 0, program
    return set(OPTION.findall(done.stdout))


def scripts():
    folder = os.path.join(SOURCE, "scripts")
    return sorted(n for n in os.listdir(folder)
                  if os.path.isfile(os.path.join(folder, n))
                  and os.access(os.path.join(folder, n), os.X_OK))


class FrontPage(unittest.TestCase):
    def test_readme_is_short(self):
        self.assertLessEqual(len(read("README.md").splitlines()), 150,
                             "the README is the front page: the reference belongs in docs/")

    def test_readme_points_to_every_place(self):
        text = read("README.md")
        for place in ("docs/man/patchview.1.md", "docs/man/patchview-record.1.md",
                      "docs/man/patchview-measure.1.md", "docs/development.md",
                      "docs/design.md", "docs/performance.md", "docs/web.md", "LICENSE"):
            self.assertIn("](" + place + ")", text, place)

    def test_readme_and_page_name_only_options_the_programs_have(self):
        known = helped(RECORD) | helped(MEASURE) | {"--out"}  # --out: scripts/web's too
        for path in ("README.md", "docs/web.md"):
            named = set(OPTION.findall(read(path)))
            self.assertEqual(named - known, set(), path + " names options no program has")


class Links(unittest.TestCase):
    def test_every_relative_link_leads_to_a_file(self):
        for path, text in documents().items():
            for target in LINK.findall(text):
                if re.match(r"[a-z]+:", target):
                    continue
                where = os.path.normpath(os.path.join(SOURCE, os.path.dirname(path), target))
                self.assertTrue(os.path.exists(where), path + ": " + target)


class Scripts(unittest.TestCase):
    def test_every_script_is_in_the_development_document(self):
        text = read("docs", "development.md")
        for name in scripts():
            self.assertRegex(text, r"`scripts/" + re.escape(name) + r"[` ]", name)

    def test_named_scripts_exist_and_take_the_options_of_their_usage(self):
        have = set(scripts())
        for path, text in documents().items():
            # Spans outside the fenced blocks, whose backticks would pair them wrongly.
            prose = re.sub(r"^```.*?^```", "", text, flags=re.M | re.S)
            for span in SPAN.findall(prose):
                found = re.match(r"scripts/([a-z-]+)((?:\s.*)?)$", span, re.S)
                if not found or found.group(1) == "lib":
                    continue
                name, usage = found.groups()
                self.assertIn(name, have, path + ": " + span)
                source = read("scripts", name)
                for option in OPTION.findall(" ".join(re.findall(r"\[([^]]*)\]", usage))):
                    self.assertTrue(option in source, path + ": " + span + ": scripts/" + name +
                                    " has no " + option)

    def test_cmake_options_are_the_tree_s(self):
        table = set(re.findall(r"^\| `(PATCHVIEW_[A-Z_]+)` \| `(ON|OFF)` \|",
                               read("docs", "development.md"), re.M))
        tree = set(re.findall(r"^option\((PATCHVIEW_[A-Z_]+) \"[^\"]*\" (ON|OFF)\)",
                              read("CMakeLists.txt"), re.M))
        self.assertEqual(table, tree)

    def test_ci_steps_are_those_of_ci(self):
        steps = re.findall(r"^(scripts/[a-z-]+)\s*$", read(".ci", "run"), re.M)
        self.assertTrue(steps)
        text = " ".join(read("docs", "development.md").split())
        ci = text[text.index("CI (`.ci/run`)"):]
        ci = ci[:ci.index(".", ci.index("`scripts/harden`"))]
        self.assertEqual(re.findall(r"`(scripts/[a-z-]+)`", ci), steps)


if __name__ == "__main__":
    SOURCE, RECORD, MEASURE = sys.argv[1:4]
    unittest.main(argv=[sys.argv[0], *sys.argv[4:]])
