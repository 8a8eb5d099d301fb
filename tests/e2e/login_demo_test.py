#!/usr/bin/env python3
"""scripts/demo on a fresh directory: it builds an installation, starts the daemon and Apache, and prints
the initial administrator's password; that password logs in through the real server and a wrong one
does not. A second run keeps the password; `stop` stops both servers.
"""

import os
import re
import shutil
import socket
import subprocess
import tempfile
import unittest
import urllib.request

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
DEMO = os.path.join(SOURCE_DIR, "scripts", "demo")


def free_port():
    for _ in range(50):
        s = socket.socket()
        s.bind(("127.0.0.1", 0))
        port = s.getsockname()[1]
        s.close()
        if port != 8080 and not os.path.exists("/tmp/morvale.%d" % port):
            return port
    raise RuntimeError("no free port")


def login(port, name, password):
    """Posts the login form; gives (Set-Cookie header or "", body)."""
    boundary = "----DemoTestBoundary"
    body = "".join(
        '--%s\r\nContent-Disposition: form-data; name="%s"\r\n\r\n%s\r\n' % (boundary, k, v)
        for k, v in (("U", name), ("P", password))
    ) + "--%s--\r\n" % boundary
    req = urllib.request.Request(
        "http://127.0.0.1:%d/main" % port,
        data=body.encode(),
        headers={"Content-Type": "multipart/form-data; boundary=" + boundary},
    )
    with urllib.request.urlopen(req, timeout=30) as r:
        return r.headers.get("Set-Cookie") or "", r.read().decode("latin-1")


class DemoTest(unittest.TestCase):
    def setUp(self):
        parent = "/srv" if os.geteuid() == 0 and os.path.isdir("/srv") else None
        self.tmp = tempfile.mkdtemp(prefix="mo_demo_", dir=parent)
        os.chmod(self.tmp, 0o755)
        self.dir = os.path.join(self.tmp, "site")
        self.port = free_port()

    def tearDown(self):
        subprocess.run(["sh", DEMO, "stop", "--dir", self.dir], cwd=SOURCE_DIR, capture_output=True)
        shutil.rmtree(self.tmp, ignore_errors=True)

    def run_demo(self, *extra):
        r = subprocess.run(["sh", DEMO, "--dir", self.dir, "--port", str(self.port)] + list(extra),
                           cwd=SOURCE_DIR, capture_output=True, text=True, timeout=1200)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        m = re.search(r"^  log in as:\s+(\S+)\n  password:\s+(\S+)", r.stdout, re.M)
        self.assertIsNotNone(m, r.stdout)
        self.assertIn("http://localhost:%d/" % self.port, r.stdout)
        return m.group(1), m.group(2)

    def test_printed_password_logs_in(self):
        name, password = self.run_demo()
        self.assertEqual(name, "admin")
        self.assertGreaterEqual(len(password), 12)
        kept = os.path.join(self.dir, "generated", "initial_admin_password")
        self.assertEqual(os.stat(kept).st_mode & 0o777, 0o600)
        with open(os.path.join(self.dir, "user", "user_conf", "gen.setup")) as f:
            site_setup = f.read()
        self.assertNotIn(password, site_setup, "only the hash is stored")
        self.assertIn("ADMIN_PASSWD $y$", site_setup)

        cookie, body = login(self.port, "admin", password)
        self.assertTrue(cookie.startswith("U="), cookie)
        self.assertIn("HttpOnly", cookie)
        self.assertNotIn('<FORM NAME="Login"', body)
        cookie, body = login(self.port, "admin", password + "x")
        self.assertEqual(cookie, "")
        self.assertIn("In-correct password for (admin)", body)

        # A second run keeps the password; one given on the command line replaces it.
        self.assertEqual(self.run_demo(), ("admin", password))
        self.assertEqual(self.run_demo("--admin-password", "given-pass-1"), ("admin", "given-pass-1"))
        cookie, _ = login(self.port, "admin", "given-pass-1")
        self.assertTrue(cookie.startswith("U="), cookie)


if __name__ == "__main__":
    unittest.main()
