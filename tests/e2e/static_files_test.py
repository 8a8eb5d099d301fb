#!/usr/bin/env python3
"""The site's static files: runs the real install step (scripts/lib/install_static.sh) into throwaway
installations and checks what the pages will ask the web server for: every image a page names is there
as a valid GIF, every style class a page uses is defined in win.css, the manuals exist as HTML and PDF,
and a second run changes nothing.

The images and classes come from two places: the ones the web pages are written to use (listed below),
and a scan of the string literals of the program's sources, so that a page added later that names a new
image or class fails here until the file or the class exists.
"""

import os
import re
import shutil
import struct
import subprocess
import tempfile
import unittest

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
INSTALL_STEP = os.path.join(SOURCE_DIR, "scripts", "lib", "install_static.sh")

# Images the pages name (under images/, the URL of install/httpd_images).
PAGE_IMAGES = """
nav/dir_up.gif nav/dir_up_trans.gif nav/expand.gif nav/help2.gif nav/edit.gif nav/edit_trans.gif
nav/history1.gif nav/history2.gif nav/page_prev_fast.gif nav/page_prev.gif nav/page_next.gif
nav/page_next_fast.gif nav/page_prev_fast_trans.gif nav/page_prev_trans.gif nav/page_next_trans.gif
nav/page_next_fast_trans.gif nav/filter_on.gif nav/filter_off.gif nav/clear.gif nav/clear_all.gif
nav/close.gif nav/go.gif nav/arrow_left_green.gif nav/arrow_right_green.gif nav/arrow_up_green.gif
nav/arrow_down_green.gif nav/gray_square.gif nav/all_sel2.gif nav/all_unsel3.gif nav/trash.gif
nav/trash_empty.gif nav/undelete.gif nav/ok.gif nav/cancel.gif nav/advanced.gif nav/choose.gif
nav/back.gif nav/imove.gif
bullets/blank.gif bullets/expand.gif bullets/colapse.gif
backgrounds/slice_L.gif backgrounds/slice_LR.gif backgrounds/slice_R.gif backgrounds/slice.gif
backgrounds/color_none.gif backgrounds/color_light_green.gif backgrounds/color_light_red.gif
backgrounds/color_orange.gif backgrounds/color_purple.gif backgrounds/color_blue.gif
icons/prod_logo.gif icons/company_logo.gif icons/powering.gif icons/info.gif icons/warning.gif
icons/error_symbol.gif icons/stop.gif icons/lock_sm.gif icons/letter.gif icons/letter_tick.gif
icons/letter_cross.gif icons/letter_grey_cross.gif
system_file_types/folders/dir2.gif system_file_types/folders/dir_config.gif
system_file_types/folders/bkmark_dir.gif system_file_types/folders/dir_add.gif
system_file_types/folders/lib_dir.gif
system_file_types/icons/unknown.gif system_file_types/icons/word.gif system_file_types/icons/excel.gif
system_file_types/icons/pdf.gif system_file_types/icons/framemaker.gif
system_file_types/icons/power_point.gif system_file_types/icons/project.gif
system_file_types/icons/quickbooks.gif system_file_types/icons/text.gif system_file_types/icons/html.gif
system_file_types/icons/zip.gif system_file_types/icons/palette.gif system_file_types/icons/sound.gif
system_file_types/icons/batch.gif system_file_types/icons/autocadlt.gif system_file_types/icons/visio.gif
system_file_types/icons/letter.gif system_file_types/icons/movie.gif system_file_types/icons/access.gif
system_file_types/icons/wpd.gif system_file_types/icons/text_add.gif system_file_types/icons/users.gif
system_file_types/icons/groups.gif system_file_types/icons/file_types.gif
system_file_types/icons/library_book.gif system_file_types/icons/table.gif system_file_types/icons/tab.gif
""".split()

# Style classes the pages use.
PAGE_CLASSES = """MainColTitle MainTitleButtons NavTab NavTabSel GenTitle GenHeader SMALL SMALLEST LARGE FOOTER
DirButton DirTitle""".split()

# Site-supplied images live in the user directory, not in the installation.
SITE_IMAGE_DIRS = ("user_banner/", "user_file_types/")

STRING_LITERAL = re.compile(r'"((?:[^"\\\n]|\\.)*)"')
IMAGE_NAME = re.compile(r"[A-Za-z0-9_%./-]*\.(?:gif|png|jpe?g|ico)\b")
CLASS_NAME = re.compile(r'CLASS\s*=\s*(?:\\?["\'])?([A-Za-z_][A-Za-z0-9_-]*)', re.IGNORECASE)


def source_literals():
    """Every string literal of the program's C++ sources."""
    for root, _, files in os.walk(os.path.join(SOURCE_DIR, "src")):
        for name in sorted(files):
            if name.endswith((".cpp", ".h")):
                with open(os.path.join(root, name), encoding="utf-8", errors="replace") as f:
                    for literal in STRING_LITERAL.findall(f.read()):
                        yield os.path.relpath(os.path.join(root, name), SOURCE_DIR), literal


def image_path(name):
    """The path under install/httpd_images of an image as a page names it, or None for names that are
    formats or site-supplied images."""
    for prefix in ("%s/", "/", "images/"):
        if name.startswith(prefix):
            name = name[len(prefix):]
    if "%" in name or not name or name.startswith(SITE_IMAGE_DIRS):
        return None
    return name


def scanned_images():
    found = {}
    for where, literal in source_literals():
        for name in IMAGE_NAME.findall(literal):
            path = image_path(name)
            if path:
                found.setdefault(path, where)
    return found


def scanned_classes():
    found = {}
    for where, literal in source_literals():
        for name in CLASS_NAME.findall(literal.replace('\\"', '"')):
            found.setdefault(name, where)
    return found


def gif_problem(data):
    """None when data is a complete GIF (every block walked up to the trailer), else what is wrong."""
    if data[:6] not in (b"GIF87a", b"GIF89a"):
        return "no GIF signature"
    if len(data) < 13:
        return "cut short"
    width, height, flags = struct.unpack("<HHB", data[6:11])
    if width == 0 or height == 0:
        return "zero size"
    pos = 13
    if flags & 0x80:
        pos += 3 * (2 << (flags & 7))
    images = 0

    def skip_sub_blocks(pos):
        while True:
            if pos >= len(data):
                raise IndexError
            size = data[pos]
            pos += 1
            if size == 0:
                return pos
            pos += size

    try:
        while True:
            kind = data[pos]
            if kind == 0x3B:
                return None if images and pos == len(data) - 1 else "no image or data after the trailer"
            if kind == 0x21:
                pos = skip_sub_blocks(pos + 2)
            elif kind == 0x2C:
                local = data[pos + 9]
                pos += 10
                if local & 0x80:
                    pos += 3 * (2 << (local & 7))
                pos = skip_sub_blocks(pos + 1)
                images += 1
            else:
                return f"unknown block 0x{kind:02x}"
    except IndexError:
        return "cut short"


def css_classes(css_text):
    css_text = re.sub(r"/\*.*?\*/", "", css_text, flags=re.S)
    selectors = re.findall(r"([^{}]+)\{", css_text)
    return {name for sel in selectors for name in re.findall(r"\.([A-Za-z_][A-Za-z0-9_-]*)", sel)}


def run_step(home, env=None, step=INSTALL_STEP):
    return subprocess.run(["/bin/sh", step, home], capture_output=True, text=True, env=env, timeout=600)


def snapshot(home):
    state = {}
    for root, _, files in os.walk(home):
        for name in files:
            path = os.path.join(root, name)
            st = os.stat(path)
            with open(path, "rb") as f:
                state[os.path.relpath(path, home)] = (st.st_mtime_ns, f.read())
    return state


class StaticFilesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="morvale_static_")
        cls.home = cls.tmp.name
        cls.first = run_step(cls.home)
        if cls.first.returncode != 0:
            raise AssertionError("install step failed:\n" + cls.first.stdout + cls.first.stderr)
        cls.images = os.path.join(cls.home, "install", "httpd_images")

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def read(self, *parts):
        with open(os.path.join(self.home, "install", *parts), "rb") as f:
            return f.read()

    def test_every_image_the_pages_name_is_a_valid_gif(self):
        wanted = {path: "the pages" for path in PAGE_IMAGES}
        wanted.update(scanned_images())
        self.assertIn("icons/letter_tick.gif", wanted, "the source scan found nothing")
        problems = []
        for path, where in sorted(wanted.items()):
            if path == "favicon.ico":
                continue
            full = os.path.join(self.images, path)
            if not os.path.isfile(full):
                problems.append(f"{path} (named in {where}) is missing")
                continue
            with open(full, "rb") as f:
                problem = gif_problem(f.read())
            if problem:
                problems.append(f"{path} (named in {where}): {problem}")
        self.assertEqual(problems, [])

    def test_every_installed_image_is_a_valid_gif_and_the_favicon_an_icon(self):
        count = 0
        for root, _, files in os.walk(self.images):
            for name in files:
                path = os.path.join(root, name)
                self.assertTrue(name.endswith(".gif"), path)
                with open(path, "rb") as f:
                    self.assertIsNone(gif_problem(f.read()), path)
                count += 1
        self.assertGreaterEqual(count, len(PAGE_IMAGES))
        icon = self.read("misc", "favicon.ico")
        reserved, kind, entries = struct.unpack("<HHH", icon[:6])
        self.assertEqual((reserved, kind), (0, 1))
        self.assertGreaterEqual(entries, 2)
        sizes = {icon[6 + 16 * i] for i in range(entries)}
        self.assertTrue({16, 32} <= sizes, sizes)

    def test_drawn_images_have_the_sizes_the_pages_expect(self):
        def size(path):
            with open(os.path.join(self.images, path), "rb") as f:
                return struct.unpack("<HH", f.read(10)[6:10])

        for piece in ("slice_L", "slice_R", "slice_LR"):
            self.assertEqual(size(f"backgrounds/{piece}.gif"), (13, 24), piece)
        self.assertEqual(size("backgrounds/slice.gif")[1], 24)
        self.assertEqual(size("bullets/blank.gif"), (1, 1))
        self.assertEqual(size("nav/edit.gif"), (16, 16))

    def test_every_class_the_pages_use_is_defined_in_win_css(self):
        defined = css_classes(self.read("css", "win.css").decode("utf-8"))
        wanted = {name: "the pages" for name in PAGE_CLASSES}
        wanted.update(scanned_classes())
        with open(os.path.join(SOURCE_DIR, "install", "misc", "start.htm"), encoding="utf-8") as f:
            for name in CLASS_NAME.findall(f.read()):
                wanted.setdefault(name, "start.htm")
        missing = sorted(f"{name} (used in {where})" for name, where in wanted.items() if name not in defined)
        self.assertEqual(missing, [])

    def test_manuals_are_html_and_pdf(self):
        for name, heading in (("Morvale_user_manual", "Morvale User Manual"), ("kbatch_user_manual", "kbatch")):
            page = self.read("man", name + ".html").decode("utf-8")
            self.assertIn(f"<title>{heading}", page)
            self.assertIn('class="toc"', page)
            for src in re.findall(r'src="\.\./images/([^"]+)"', page):
                self.assertTrue(os.path.isfile(os.path.join(self.images, src)), f"{name}.html shows {src}")
            pdf = self.read("man", name + ".pdf")
            self.assertTrue(pdf.startswith(b"%PDF-1."), name)
            self.assertIn(b"%%EOF", pdf[-1024:])
            pages = len(re.findall(rb"/Type\s*/Page[^s]", pdf))
            self.assertGreaterEqual(pages, 2, name)
        user = self.read("man", "Morvale_user_manual.html").decode("utf-8")
        for part in ('id="part-i-working-with-morvale"', 'id="part-ii-administering-morvale"', "daemon quit",
                     "Backup and restore"):
            self.assertIn(part, user)

    def test_start_page_links_resolve_to_installed_files(self):
        page = self.read("misc", "start.htm").decode("utf-8")
        # How the web server maps the site's URLs onto the installation.
        places = {"images/": "httpd_images/", "css/": "css/", "man/": "man/", "favicon.ico": "misc/favicon.ico"}
        links = re.findall(r'(?:HREF|SRC)="([^"#]+)', page, flags=re.I)
        self.assertIn("man/Morvale_user_manual.pdf", links)
        for link in links:
            if link == "main":
                continue
            prefix = next((p for p in places if link.startswith(p)), None)
            self.assertIsNotNone(prefix, f"start.htm links {link}, which the site does not serve")
            path = os.path.join(self.home, "install", places[prefix] + link[len(prefix):])
            self.assertTrue(os.path.isfile(path), f"start.htm links {link}")
        self.assertIn(b"Mark James", self.read("misc", "credits.txt"))

    def test_second_run_changes_nothing_and_a_lost_file_comes_back(self):
        before = snapshot(self.home)
        again = run_step(self.home)
        self.assertEqual(again.returncode, 0, again.stderr)
        self.assertIn("(0 files written)", again.stdout)
        self.assertEqual(snapshot(self.home), before)

        os.remove(os.path.join(self.images, "nav", "ok.gif"))
        os.remove(os.path.join(self.home, "install", "man", "kbatch_user_manual.pdf"))
        repaired = run_step(self.home)
        self.assertEqual(repaired.returncode, 0, repaired.stderr)
        after = snapshot(self.home)
        self.assertEqual(set(after), set(before))
        self.assertEqual(after["install/httpd_images/nav/ok.gif"][1], before["install/httpd_images/nav/ok.gif"][1])
        self.assertEqual(after["install/css/win.css"], before["install/css/win.css"])


class FailureTest(unittest.TestCase):
    def test_missing_tools_are_named_with_their_packages(self):
        with tempfile.TemporaryDirectory() as tmp:
            bin_dir = os.path.join(tmp, "bin")
            os.mkdir(bin_dir)
            os.symlink(shutil.which("dirname"), os.path.join(bin_dir, "dirname"))
            env = dict(os.environ, PATH=bin_dir)
            result = run_step(tmp, env=env)
            self.assertEqual(result.returncode, 1)
            self.assertIn("the ImageMagick program convert (Debian package imagemagick)", result.stderr)
            self.assertFalse(os.path.exists(os.path.join(tmp, "install")))

    def test_unknown_icon_and_recipe_are_refused_with_the_line(self):
        with tempfile.TemporaryDirectory() as tmp:
            tree = os.path.join(tmp, "src")
            for part in ("scripts/lib", "install", "doc"):
                shutil.copytree(os.path.join(SOURCE_DIR, part), os.path.join(tree, part))
            home = os.path.join(tmp, "home")
            os.mkdir(home)
            step = os.path.join(tree, "scripts", "lib", "install_static.sh")
            cases = (
                ("nav/x.gif silk no_such_icon\n", "images.map line 2: no famfamfam-silk icon named no_such_icon"),
                ("nav/x.gif paint red\n", "images.map line 2: unknown recipe paint"),
                ("../../etc/x.gif blank 1x1\n", "images.map line 2: bad path ../../etc/x.gif"),
            )
            for line, message in cases:
                with open(os.path.join(tree, "install", "images.map"), "w") as f:
                    f.write("# test\n" + line)
                result = run_step(home, step=step)
                self.assertEqual(result.returncode, 1, line)
                self.assertIn(message, result.stderr)
                self.assertFalse(os.path.exists(os.path.join(home, "install", "httpd_images", "nav", "x.gif")))


if __name__ == "__main__":
    unittest.main(verbosity=2)
