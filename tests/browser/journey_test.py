#!/usr/bin/env python3
"""The web interface in a real browser: Debian's Chromium, headless, driven through chromedriver against
an installation of its own that scripts/demo builds and starts, as the README starts one. A new
administrator logs in with the printed password, creates the group "sales" and the user "bob" in that
group, pages through a list, defines a kind of folder for Docs and makes there the folder "Contracts"
that sales may see and "Board" that they may not, and sees an edit in its history; bob logs in, sees
"Contracts" and not "Board" in Docs (its list and its directory column), opens his list, filters it,
pages it, edits his entry, logs out, and the back button shows no page of his. No page may log a
script error to the browser's console. Every step leaves a screenshot in the build folder:
    journey_test.py [SCREENSHOT_DIR]      (default: build/normal/browser_journey)

The frameset, its tabs and directory column need the folder tree: where this build has none (the
first page after the login says "The folder tree is not available"), those steps are left out with a
note in the output and the pages are opened by address instead.
"""

import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest

from selenium import webdriver
from selenium.common.exceptions import NoSuchElementException
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DEMO = os.path.join(SOURCE_DIR, "scripts", "demo")
SHOTS = os.path.join(SOURCE_DIR, "build", "normal", "browser_journey")
BOB_PASSWORD = "bob-Secret-42"


def free_port():
    for _ in range(50):
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
        s.close()
        if port != 8080 and not os.path.exists("/tmp/morvale.%d" % port):
            return port
    raise RuntimeError("no free port")


def content(display, trail, tab, stype, rest):
    return "main?content&%s&%s&%s&0&0&0&%s&%s" % (display, trail, tab, stype, rest)


class Journey(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        parent = "/srv" if os.geteuid() == 0 and os.path.isdir("/srv") else None
        cls.tmp = tempfile.mkdtemp(prefix="mo_browser_", dir=parent)
        os.chmod(cls.tmp, 0o755)
        cls.dir = os.path.join(cls.tmp, "site")
        cls.port = free_port()
        r = subprocess.run(["sh", DEMO, "--dir", cls.dir, "--port", str(cls.port)], cwd=SOURCE_DIR,
                           capture_output=True, text=True, timeout=1200)
        if r.returncode != 0:
            raise RuntimeError("scripts/demo failed:\n" + r.stdout + r.stderr)
        m = re.search(r"^  open:\s+(\S+)\n  log in as:\s+(\S+)\n  password:\s+(\S+)", r.stdout, re.M)
        if m is None:
            raise RuntimeError("scripts/demo printed no address and password:\n" + r.stdout)
        cls.address, cls.admin, cls.password = m.group(1), m.group(2), m.group(3)
        os.makedirs(SHOTS, exist_ok=True)
        for old in os.listdir(SHOTS):
            if old.endswith(".png"):
                os.unlink(os.path.join(SHOTS, old))
        options = Options()
        options.binary_location = "/usr/bin/chromium"
        for arg in ("--headless", "--no-sandbox", "--disable-gpu", "--window-size=1200,900"):
            options.add_argument(arg)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        cls.driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
        cls.driver.set_page_load_timeout(60)

    @classmethod
    def tearDownClass(cls):
        cls.driver.quit()
        subprocess.run(["sh", DEMO, "stop", "--dir", cls.dir], cwd=SOURCE_DIR, capture_output=True)
        shutil.rmtree(cls.tmp, ignore_errors=True)

    # ---- helpers

    def setUp(self):
        self.step_no = 0

    def base(self):
        return "http://127.0.0.1:%d/" % self.port

    def step(self, name):
        """Ends a step: its screenshot, and no script error on the console since the last step."""
        self.step_no += 1
        d = self.driver
        d.switch_to.default_content()
        path = os.path.join(SHOTS, "%02d_%s.png" % (self.step_no, name))
        self.assertTrue(d.save_screenshot(path), path)
        errors = [e for e in d.get_log("browser") if e.get("level") == "SEVERE"]
        self.assertEqual(errors, [], "script errors on the console at step %s" % name)
        print("step %02d %s: %s" % (self.step_no, name, path), flush=True)

    def source(self):
        return self.driver.page_source

    def frame(self, name):
        self.driver.switch_to.default_content()
        self.driver.switch_to.frame(name)

    def content_to(self, path):
        """Opens an address in the content frame, as its links do."""
        self.driver.switch_to.default_content()
        self.driver.execute_script("top.content.location = arguments[0];", self.base() + path)
        time.sleep(0.5)
        self.frame("content")

    def wait_for(self, text, seconds=15, frame=None):
        end = time.time() + seconds
        while time.time() < end:
            try:
                if frame is not None:
                    self.frame(frame)
                if text in self.source():
                    return
            except Exception:
                pass
            time.sleep(0.25)
        self.fail("%r never showed; the page is:\n%s" % (text, self.source()[:3000]))

    def wait_gone(self, text, seconds=15, frame=None):
        end = time.time() + seconds
        while time.time() < end:
            try:
                if frame is not None:
                    self.frame(frame)
                if text not in self.source():
                    return
            except Exception:
                pass
            time.sleep(0.25)
        self.fail("%r stayed; the page is:\n%s" % (text, self.source()[:3000]))

    def login(self, name, password):
        d = self.driver
        d.switch_to.default_content()
        d.get(self.base())
        self.assertIn('name="Login"', self.source())
        d.find_element(By.NAME, "U").send_keys(name)
        d.find_element(By.NAME, "P").send_keys(password)
        d.find_element(By.NAME, "SUBMIT").click()
        end = time.time() + 15
        while time.time() < end and 'name="Login"' in self.source():
            time.sleep(0.2)
        self.assertNotIn('name="Login"', self.source(), "still the login page after logging in as " + name)
        time.sleep(1)

    def frameset(self, tabs):
        """The frameset: the top bar with the tabs, the directory column and the content frame."""
        d = self.driver
        d.switch_to.default_content()
        page = self.source()
        if "The folder tree is not available" in page:
            self.skipTest("the frameset needs the folder tree, which this build does not have: the journey "
                          "after the login is left out")
        frames = {f.get_attribute("name") for f in d.find_elements(By.TAG_NAME, "frame")}
        self.assertTrue({"nav", "dir", "content"} <= frames, page[:2000])
        self.frame("nav")
        for tab in tabs:
            d.find_element(By.LINK_TEXT, tab)
        d.find_element(By.LINK_TEXT, "logout")
        for name in ("dir", "content"):
            self.frame(name)
            self.assertNotIn("Error:", self.source(), self.source()[:3000])

    def click_tab(self, label):
        self.frame("nav")
        self.driver.find_element(By.LINK_TEXT, label).click()
        time.sleep(1)

    def click_dir(self, label):
        """A button of the directory column; its page opens in the content frame."""
        self.frame("dir")
        self.driver.find_element(By.PARTIAL_LINK_TEXT, label).click()
        time.sleep(0.5)
        self.frame("content")

    def fill(self, fields, selects=None):
        d = self.driver
        for name, value in fields.items():
            box = d.find_element(By.NAME, name)
            box.clear()
            box.send_keys(value)
        for name, value in (selects or {}).items():
            Select(d.find_element(By.NAME, name)).select_by_visible_text(value)

    def save_form(self, then):
        """OK on the edit form in the content frame; the list comes back showing `then`."""
        self.frame("content")
        self.driver.find_element(By.NAME, "OK").click()
        self.wait_gone('name="edit"', frame="content")
        self.assertNotIn("Error:", self.source(), self.source()[:3000])
        self.wait_for(then, frame="content")

    def popup(self, link_xpath):
        """Opens a pop-up window of the content frame; gives the handle to come back to."""
        d = self.driver
        main = d.current_window_handle
        self.frame("content")
        d.find_element(By.XPATH, link_xpath).click()
        end = time.time() + 10
        while len(d.window_handles) < 2 and time.time() < end:
            time.sleep(0.2)
        d.switch_to.window([h for h in d.window_handles if h != main][0])
        return main

    def back_from_popup(self, main):
        d = self.driver
        end = time.time() + 10
        while len(d.window_handles) > 1 and time.time() < end:
            time.sleep(0.2)
        for h in d.window_handles:
            if h != main:
                d.switch_to.window(h)
                d.close()
        d.switch_to.window(main)
        self.frame("content")

    def filter_value(self, column, value):
        """The filter window of a column: one of its values."""
        main = self.popup("//a[contains(@href, 'option_select&%s')]" % column)
        Select(self.driver.find_element(By.NAME, "FilSel" + column)).select_by_visible_text(value)
        self.back_from_popup(main)

    def search(self, column, text):
        """The filter window of a column: a text to match."""
        main = self.popup("//a[contains(@href, 'option_select&%s')]" % column)
        self.fill({"MATCH" + column: text})
        self.driver.find_element(By.XPATH, "//a[img[@alt='Find a match in this column']]").click()
        self.back_from_popup(main)

    def clear_filters(self, column):
        main = self.popup("//a[contains(@href, 'option_select&%s')]" % column)
        self.driver.find_element(By.XPATH, "//a[img[@alt='Clear all column filters']]").click()
        self.back_from_popup(main)

    def page_size(self, text):
        main = self.popup("//a[contains(@href, 'page_window')]")
        Select(self.driver.find_element(By.NAME, "AmountSel")).select_by_visible_text(text)
        self.back_from_popup(main)

    def row_link(self, row_text, href_part):
        self.frame("content")
        row = self.driver.find_element(By.XPATH, "//td[contains(., %r)]/.." % row_text)
        return row.find_element(By.XPATH, ".//a[contains(@href, %r)]" % href_part)

    def row_id(self, row_text):
        """The id of the list row whose first text cell is exactly `row_text`, from its edit link."""
        self.frame("content")
        row = self.driver.find_element(By.XPATH, "//tr[td[normalize-space(.)=%r]]" % row_text)
        link = row.find_element(By.XPATH, ".//a[contains(@href, 'edit_start')]").get_attribute("href")
        m = re.search(r"edit_start&ID&(\d+)", link)
        self.assertIsNotNone(m, link)
        return m.group(1)

    def new_folder(self, name, kind, viewers):
        """In the listed Docs folder: "New Folder", the chooser window's folder type, then the new
        folder's form with its name and its access lists alone (not the parent's): `viewers` may view
        it, the administrator alone edits it and is its librarian (either of which would let a user
        view it too)."""
        d = self.driver
        main = self.popup("//a[img[@alt='New Folder']]")
        self.wait_for("Choose the type of the new Folder")
        d.find_element(By.LINK_TEXT, kind).click()
        self.back_from_popup(main)
        self.wait_for('name="edit"', frame="content")
        self.fill({"N": name, "VA": "", "EA": "", "LA": ""})
        # A list's text is filled by choosing from its user or group menu.
        for level, who in (("VA", viewers), ("EA", self.admin), ("LA", self.admin)):
            if who.startswith("^"):
                Select(d.find_element(By.NAME, "grp" + level)).select_by_value("Group_" + who)
            else:
                Select(d.find_element(By.NAME, "usr" + level)).select_by_value("User_" + who)
            self.assertEqual(d.find_element(By.NAME, level).get_attribute("value"), who)
            box = d.find_element(By.NAME, level + "PARENT")
            if box.is_selected():
                box.click()
            self.assertFalse(box.is_selected())

    # ---- the journey

    def test_journey(self):
        d = self.driver
        # The printed address: the login page.
        self.assertEqual(self.address, "http://localhost:%d/" % self.port)
        d.get(self.address)
        self.assertIn('name="Login"', self.source())
        self.step("login_page")

        # The printed password logs the administrator in: the frameset with every tab.
        self.login(self.admin, self.password)
        self.frameset(("Docs", "Tables", "Mail Groups", "Setup", "About"))
        self.step("administrator_frameset")

        # The setup area: its directory column and the user list.
        self.click_tab("Setup")
        self.wait_for("Group List", frame="dir")
        self.step("setup_area")

        # The group "sales".
        self.click_dir("Group List")
        self.wait_for(">Add</a>", frame="content")
        d.find_element(By.LINK_TEXT, "Add").click()
        self.wait_for('name="edit"', frame="content")
        self.fill({"N": "sales"})
        self.step("new_group_form")
        self.save_form("^sales")
        self.step("group_list_with_sales")

        # The user "bob" with a password and that group.
        self.click_dir("User Profile List")
        self.wait_for(">Add</a>", frame="content")
        d.find_element(By.LINK_TEXT, "Add").click()
        self.wait_for('name="edit"', frame="content")
        # Everyone's group "all" (which may see Docs) and "sales".
        self.fill({"F": "Bob Builder", "U": "bob", "P_1": BOB_PASSWORD, "P_2": BOB_PASSWORD,
                   "ADD": "bob@example.com", "GR": ""}, {"PM": "Normal", "selGR": "^all"})
        Select(d.find_element(By.NAME, "selGR")).select_by_visible_text("^sales")
        self.assertEqual(d.find_element(By.NAME, "GR").get_attribute("value"), "^all, ^sales")
        self.step("new_user_form")
        self.save_form("Bob Builder")
        self.assertNotIn(BOB_PASSWORD, self.source())
        self.step("user_list_with_bob")

        # Paging: the item types (nineteen built in) at ten lines a page.
        self.content_to(content("content", "A", "setup", "itype", "list"))
        self.page_size("10 Lines per page")
        self.wait_for("Page 1 of 2", frame="content")
        first = self.source()
        self.frame("content")
        d.find_element(By.XPATH, "//a[img[contains(@src, 'page_next')]]").click()
        self.wait_for("Page 2 of 2", frame="content")
        self.assertNotEqual(first, self.source())
        self.step("item_types_page_2")

        # Docs takes no built-in item type: the administrator defines a plain kind of folder whose
        # directory type is that of Docs, from the item type list (all of it on one page).
        self.page_size("100 Lines per page")
        self.wait_for("Page 1 of 1", frame="content")
        # The type of Docs is the top level document folder.
        docs_type = self.row_id("Top Level Document Folder")
        self.frame("content")
        d.find_element(By.LINK_TEXT, "Add").click()
        self.wait_for('name="edit"', frame="content")
        self.fill({"N": "Plain Folder", "IC": "list", "DS": "litem_dir",
                   "AS": "litem_history, litem_dir_deleted", "DT": docs_type},
                  {"OT": "Folder", "T": "User", "NM": "Choose from children and parent",
                   "CM": "Choose from children and parent"})
        self.step("new_folder_type_form")
        self.save_form("Plain Folder")
        self.step("item_types_with_plain_folder")

        # In Docs, the folder "Contracts" that sales may see and "Board" that they may not.
        self.click_tab("Docs")
        self.wait_for("New Folder", frame="content")
        self.new_folder("Contracts", "Plain Folder", "^sales")
        self.step("new_folder_contracts_form")
        self.save_form("Contracts")
        self.new_folder("Board", "Plain Folder", self.admin)
        self.step("new_folder_board_form")
        self.save_form("Board")
        self.wait_for(">Contracts</a>", frame="dir")
        self.wait_for(">Board</a>", frame="dir")
        self.step("docs_with_contracts_and_board")

        # Log out: the login page again.
        self.click_tab("logout")
        d.switch_to.default_content()
        self.wait_for('name="Login"')
        self.step("administrator_logged_out")

        # bob logs in: no setup tab for him.
        self.login("bob", BOB_PASSWORD)
        self.frameset(("Docs", "My Info", "About"))
        self.frame("nav")
        self.assertEqual(d.find_elements(By.LINK_TEXT, "Setup"), [])
        self.step("bob_frameset")

        # Of the Docs folders, bob sees "Contracts" and not "Board": in the list and in the column.
        self.click_tab("Docs")
        self.wait_for("Contracts", frame="content")
        self.assertNotIn("Board", self.source())
        self.wait_for(">Contracts</a>", frame="dir")
        self.assertNotIn("Board", self.source())
        self.step("bob_docs")

        # His list: the user list, filtered, searched and paged.
        self.content_to(content("content", "A", "docs", "passwd_profile", "list"))
        self.wait_for("Bob Builder", frame="content")
        self.step("bob_list")
        self.filter_value("F", "Bob Builder")
        self.wait_for("filter_on", frame="content")
        self.wait_for("Bob Builder", frame="content")
        self.step("bob_list_filtered")
        self.clear_filters("F")
        self.search("F", "nobody-matches-this")
        self.wait_gone("Bob Builder", frame="content")
        self.step("bob_search_no_match")
        self.clear_filters("F")
        self.wait_for("Bob Builder", frame="content")
        self.page_size("10 Lines per page")
        self.wait_for("Page 1 of 1", frame="content")
        self.step("bob_list_paged")

        # bob edits his entry; the list shows the change.
        self.row_link("Bob Builder", "edit_start").click()
        self.wait_for('name="edit"', frame="content")
        self.fill({"F": "Bob the Builder"})
        self.step("bob_edit_form")
        self.save_form("Bob the Builder")
        self.step("bob_after_edit")

        # Log out; the back button shows no page of bob's, nor does reloading it.
        self.click_tab("logout")
        d.switch_to.default_content()
        self.wait_for('name="Login"')
        d.back()
        time.sleep(1.5)
        d.switch_to.default_content()
        for where in [None] + [f.get_attribute("name") for f in d.find_elements(By.TAG_NAME, "frame")]:
            if where is not None:
                self.frame(where)
            page = self.source()
            self.assertNotIn("Bob the Builder", page, where)
            self.assertNotIn("bob@example.com", page, where)
            d.switch_to.default_content()
        self.step("back_after_logout")

        # The administrator sees bob's edit in the history of his entry.
        self.login(self.admin, self.password)
        self.content_to(content("content", "A", "setup", "passwd_profile", "list"))
        self.wait_for("Bob the Builder", frame="content")
        self.row_link("Bob the Builder", "passwd_history").click()
        self.wait_for("History", frame="content")
        # The details of a change are an advanced column.
        d.find_element(By.XPATH, "//a[img[@alt='Expand Advanced Columns']]").click()
        self.wait_for("Full Name Changed from (Bob Builder) to (Bob the Builder)", frame="content")
        self.step("bob_history")


if __name__ == "__main__":
    if len(sys.argv) > 1 and not sys.argv[1].startswith("-"):
        SHOTS = sys.argv.pop(1)
    unittest.main(verbosity=2)
