#!/usr/bin/env python3
"""The HTTP interface driven as its users drive it: `vantrel-cli serve` on the simulated rig,
the examples/ clients, refusals by table, a second walk refused and an aborted one resumed.

    api_test.py VANTREL_CLI SOURCE_DIR
"""
import array
import json
import math
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.error
import urllib.request

CLI = SOURCE = None
SEED = "seed=5"


def hdf5(path):
    with open(path, "rb") as f:
        return f.read(8) == b"\x89HDF\r\n\x1a\n"


class Server:
    def __init__(self, directory, runtime, rig=()):
        self.directory = directory
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
        self.process = subprocess.Popen(
            [CLI, "serve", "--simulate", "--fault", SEED, "--port", "0", "--directory", directory] + list(rig),
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
        first = self.process.stdout.readline()
        match = re.match(r"listening: (http://127\.0\.0\.1:(\d+)/api/v1)", first)
        if not match:
            self.process.kill()
            raise RuntimeError("serve did not start: %r %s" % (first, self.process.stderr.read()))
        self.url, self.port = match.group(1), int(match.group(2))
        self.token_file = self.process.stdout.readline().split(": ", 1)[1].strip()
        with open(self.token_file) as f:
            self.token = f.readline().strip()

    def call(self, method, path, body=None, token=True, raw=None, content_type="application/json"):
        data = raw if raw is not None else (None if body is None else json.dumps(body).encode())
        request = urllib.request.Request(self.url + path, data=data, method=method)
        if token:
            request.add_header("Authorization", "Bearer " + (self.token if token is True else token))
        if data is not None:
            request.add_header("Content-Type", content_type)
        try:
            with urllib.request.urlopen(request) as answer:
                payload = answer.read()
                kind = answer.headers.get("Content-Type", "")
                return answer.status, json.loads(payload) if kind.startswith("application/json") else payload
        except urllib.error.HTTPError as error:
            return error.code, json.loads(error.read())

    def events(self, walk):
        with urllib.request.urlopen("%s/walks/%d/events" % (self.url, walk)) as stream:
            text = stream.read().decode()
        found = []
        for frame in text.split("\n\n"):
            lines = dict(l.split(": ", 1) for l in frame.splitlines() if ": " in l and not l.startswith(":"))
            if "event" in lines:
                found.append((lines["event"], json.loads(lines["data"])))
        return found

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)


class ApiTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.temp = tempfile.TemporaryDirectory()
        cls.runtime = os.path.join(cls.temp.name, "run")
        os.mkdir(cls.runtime, 0o700)
        cls.work = os.path.join(cls.temp.name, "served")
        os.mkdir(cls.work)
        cls.server = Server(cls.work, cls.runtime)
        # The reference: the same walk by measure.
        cls.reference = os.path.join(cls.temp.name, "measured.BAL")
        subprocess.run([CLI, "measure", "--simulate", "--fault", SEED, "--order", "13", "--grid", "10", "-o",
                        cls.reference], cwd=cls.temp.name, check=True, capture_output=True)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        cls.temp.cleanup()

    def listing(self):
        return sorted(os.listdir(self.work))

    def table_degrees(self):
        return [t["degrees"] for t in self.server.call("GET", "/turntables")[1]["turntables"]]

    def wait_idle(self):
        for _ in range(600):
            if self.server.call("GET", "")[1]["state"] == "idle":
                return
            time.sleep(0.1)
        self.fail("the server stayed busy")

    def test_token_file_is_the_users_alone(self):
        self.assertEqual(os.stat(self.server.token_file).st_mode & 0o777, 0o600)
        self.assertTrue(self.server.token_file.startswith(self.runtime + "/vantrel/"))

    def test_other_addresses_need_a_token_of_the_users(self):
        token = os.path.join(self.temp.name, "own.token")
        with open(token, "w") as f:
            f.write("a-token-of-my-own-making\n")
        os.chmod(token, 0o644)
        cases = [(["--listen", "0.0.0.0"], 2, "--token-file"), (["--listen", "here"], 2, "not an IP address"),
                 (["--listen", "0.0.0.0", "--token-file", token], 2, "chmod 600")]
        for options, status, text in cases:
            with self.subTest(options=options):
                run = subprocess.run([CLI, "serve", "--simulate", "--port", "0"] + options, capture_output=True,
                                     text=True, timeout=30)
                self.assertEqual(run.returncode, status, run.stderr)
                self.assertIn(text, run.stderr)
        os.chmod(token, 0o600)
        served = subprocess.Popen([CLI, "serve", "--simulate", "--port", "0", "--listen", "0.0.0.0", "--token-file",
                                   token, "--directory", self.temp.name], stdout=subprocess.PIPE, text=True)
        try:
            self.assertIn("listening: http://0.0.0.0:", served.stdout.readline())
            self.assertEqual(served.stdout.readline().strip(), "token: " + token, "the user's own file")
        finally:
            served.terminate()
            served.wait(timeout=30)

    def test_moving_endpoints_refuse_without_the_token(self):
        cases = [("POST", "/turntables/1/moves", {"degrees": 5}), ("POST", "/turntables/2/moves", {"degrees": -5}),
                 ("POST", "/walks", {"order": 13}), ("DELETE", "/walks/1", None),
                 ("POST", "/balloons", {"path": "x.BAL"}), ("POST", "/measurements", {}),
                 ("POST", "/checks", {"golden": 1, "bands": [{"fromHz": 100, "toHz": 1000, "toleranceDb": 1}]})]
        before, degrees = self.listing(), self.table_degrees()
        for method, path, body in cases:
            for token in (False, "0" * 64, self.server.token + "x"):
                with self.subTest(method=method, path=path, token=token):
                    status, answer = self.server.call(method, path, body, token=token)
                    self.assertEqual(status, 401, answer)
                    self.assertIn("Authorization: Bearer", answer["error"])
        self.assertEqual(self.listing(), before, "nothing written")
        self.assertEqual(self.table_degrees(), degrees, "nothing moved")

    def test_bad_bodies_are_refused_by_field(self):
        cases = [("/walks", b"{", ""), ("/walks", b"[]", ""), ("/walks", b'{"order": 12}', "order"),
                 ("/walks", b'{"grid": 15}', "grid"), ("/walks", b'{"colour": 1}', "colour"),
                 ("/walks", b'{"file": "../x.BAL"}', "file"), ("/walks", b'{"excitation": "sweep", "f1": 0}', "f1"),
                 ("/walks", b'{"window": 9000, "order": 13}', "window"),
                 ("/walks", b'{"micFile": "../../etc/passwd"}', "micFile"),
                 ("/walks", b'{"arc": "no-such-arc.txt"}', "arc"),
                 ("/turntables/1/moves", b'{"degrees": 0}', "degrees"),
                 ("/turntables/2/moves", b'{"degrees": "10"}', "degrees"),
                 ("/turntables/1/moves", b'{"degrees": 10, "fast": true}', "fast"),
                 ("/balloons", b'{"path": "../../etc/passwd"}', "path"),
                 ("/balloons", b'{"path": "missing.BAL"}', "path"),
                 ("/measurements", b'{"excitation": "noise"}', "excitation"),
                 ("/measurements", b'{"f1": 100}', "f1"),
                 ("/checks", b'{"bands": []}', "golden"),
                 ("/checks", b'{"golden": 999, "bands": [{"fromHz": 100, "toHz": 1000, "toleranceDb": 1}]}', "golden"),
                 ("/checks", b'{"golden": 1, "bands": [{"fromHz": 100, "toHz": 1000}]}', "bands")]
        before, degrees = self.listing(), self.table_degrees()
        for path, raw, field in cases:
            with self.subTest(path=path, body=raw):
                status, answer = self.server.call("POST", path, raw=raw)
                self.assertEqual(status, 400, answer)
                if field:
                    self.assertEqual(answer.get("field"), field, answer)
                    self.assertIn(field, answer["error"])
                else:
                    self.assertTrue(answer["error"])
        status, answer = self.server.call("POST", "/balloons", raw=b"not a balloon", content_type="application/octet-stream")
        self.assertEqual((status, answer["error"]), (400, "This Balloon File is NOT Recognized"))
        status, answer = self.server.call("POST", "/walks", raw=b" " * (64 * 1024 + 1))
        self.assertEqual(status, 413, answer)
        self.assertEqual(self.listing(), before, "nothing written")
        self.assertEqual(self.table_degrees(), degrees, "nothing moved")

    def test_python_example_measures_the_balloon_measure_measures(self):
        self.wait_idle()
        out = os.path.join(self.temp.name, "example")
        os.mkdir(out)
        run = subprocess.run([sys.executable, os.path.join(SOURCE, "examples", "measure_balloon.py"), "--url",
                              self.server.url, "--token-file", self.server.token_file, "--order", "13", "--grid", "10",
                              "--out-dir", out], capture_output=True, text=True, timeout=240)
        self.assertEqual(run.returncode, 0, run.stderr)
        done = [int(m) for m in re.findall(r"^progress (\d+)/667", run.stdout, re.M)]
        self.assertGreater(len(done), 10, run.stdout)
        self.assertEqual(done, sorted(done), "events in order")
        self.assertEqual(done[-1], 667)
        balloon = re.search(r"^balloon: (.*)$", run.stdout, re.M).group(1)
        sofa = re.search(r"^sofa: (.*)$", run.stdout, re.M).group(1)
        with open(balloon, "rb") as a, open(self.reference, "rb") as b:
            self.assertTrue(a.read() == b.read(), "the balloon equals measure's with the same seed")
        self.assertTrue(hdf5(sofa), "a netCDF-4 file")

    def test_curl_session(self):
        self.wait_idle()
        out = os.path.join(self.temp.name, "curl")
        os.mkdir(out)
        run = subprocess.run(["bash", os.path.join(SOURCE, "examples", "curl_session.sh"), self.server.url,
                              self.server.token_file], cwd=out, capture_output=True, text=True, timeout=240)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertIn("HTTP 401", run.stdout)
        self.assertIn("event: end", run.stdout)
        balloon = re.search(r"^balloon: (\S+)", run.stdout, re.M).group(1)
        self.assertEqual(os.path.getsize(os.path.join(out, balloon)), 16647072)

    def cell_db(self, path, row, column):
        """Levels in dB of one cell of a balloon file, read straight from its layout
        (37 rows x 74 columns x 760 complex float32 bins)."""
        with open(path, "rb") as f:
            f.seek(((row * 74) + column) * 760 * 8)
            values = array.array("f", f.read(750 * 8))
        return [10 * math.log10(values[2 * k] ** 2 + values[2 * k + 1] ** 2 + 1e-30) for k in range(750)]

    def test_a_measurement_on_axis_is_the_walks_on_axis_cell(self):
        self.wait_idle()
        status, m = self.server.call("POST", "/measurements", {"order": 13, "excitation": "mls"})
        self.assertEqual(status, 200, m)
        self.assertEqual([len(m[k]) for k in ("frequencyHz", "levelDb", "phaseDegrees")], [750] * 3)
        self.assertNotIn("thdDb", m, "distortion only from a sweep")
        reference = self.cell_db(self.reference, 9, 0)  # V = 0, H = 0 on the 10-degree grid
        k1 = min(range(750), key=lambda k: abs(m["frequencyHz"][k] - 1000))
        shape = [(m["levelDb"][k] - m["levelDb"][k1]) - (reference[k] - reference[k1])
                 for k in range(750) if 200 <= m["frequencyHz"][k] <= 15000]
        self.assertLess(max(abs(d) for d in shape), 0.5, "the same response as the walk's axis cell")
        # A room is the rig's: a single measurement hears its reflections as a walk does.
        os.mkdir(os.path.join(self.temp.name, "room"))
        room = Server(os.path.join(self.temp.name, "room"), self.runtime, ["--sim-room", "5,4,2.6"])
        try:
            status, r = room.call("POST", "/measurements", {"order": 13, "excitation": "mls"})
        finally:
            room.stop()
        self.assertEqual(status, 200, r)
        band = [k for k in range(750) if 200 <= m["frequencyHz"][k] <= 15000]
        self.assertGreater(max(abs(r["levelDb"][k] - m["levelDb"][k]) for k in band), 3, "the room is heard")
        status, sweep = self.server.call("POST", "/measurements", {"order": 16, "excitation": "sweep", "f1": 100})
        self.assertEqual(status, 200, sweep)
        self.assertEqual(len(sweep["thdDb"]), 750)

    def test_production_check_against_a_golden_balloon(self):
        self.wait_idle()
        with open(self.reference, "rb") as f:
            status, golden = self.server.call("POST", "/balloons", raw=f.read(), content_type="application/octet-stream")
        self.assertEqual(status, 201, golden)
        bands = [{"fromHz": 100, "toHz": 1000, "toleranceDb": 0.5}, {"fromHz": 1000, "toHz": 16000, "toleranceDb": 0.5}]
        status, check = self.server.call("POST", "/checks", {"golden": golden["id"], "order": 13, "bands": bands})
        self.assertEqual(status, 200, check)
        self.assertTrue(check["pass"], check)
        self.assertEqual(len(check["bands"]), 2)
        worst = max(check["bands"], key=lambda b: abs(b["largestDb"]) - b["toleranceDb"])
        self.assertEqual(check["worstBand"], worst)
        strict = [dict(b, toleranceDb=0) for b in bands]
        # The rig's noise is seeded per point: the same sequence reproduces the golden's recording
        # exactly, a longer one does not.
        status, check = self.server.call("POST", "/checks", {"golden": golden["id"], "order": 14, "bands": strict,
                                                             "directions": [{"h": 30, "v": 60}]})
        self.assertEqual(status, 200, check)
        self.assertFalse(check["pass"], "no two different recordings agree to 0 dB")
        self.assertFalse(check["worstBand"]["pass"])
        self.assertEqual(check["directions"], [{"h": 30, "v": 60}])

    def test_second_walk_is_refused_and_an_abort_resumes(self):
        self.wait_idle()
        status, walk = self.server.call("POST", "/walks", {"order": 13, "file": "aborted.BAL"})
        self.assertEqual(status, 202, walk)
        for method, path, body in [("POST", "/walks", {"order": 13}), ("POST", "/turntables/1/moves", {"degrees": 5})]:
            status, answer = self.server.call(method, path, body)
            self.assertEqual(status, 409, answer)
            self.assertIn("walk %d is running" % walk["id"], answer["error"])
        while self.server.call("GET", "/walks/%d" % walk["id"])[1]["done"] < 40:
            time.sleep(0.05)
        status, answer = self.server.call("DELETE", "/walks/%d" % walk["id"])
        self.assertEqual(status, 202, answer)
        events = self.server.events(walk["id"])
        self.assertEqual(events[-1][0], "end")
        self.assertEqual(events[-1][1]["state"], "interrupted")
        status, ended = self.server.call("GET", "/walks/%d" % walk["id"])
        self.assertTrue(ended["resumable"], ended)
        self.assertLess(ended["done"], 667)
        with open(os.path.join(self.work, "autosave.run")) as record:
            self.assertIn("state running", record.read())

        status, resumed = self.server.call("POST", "/walks", {"resume": True, "file": "resumed.BAL"})
        self.assertEqual(status, 202, resumed)
        self.assertEqual(self.server.events(resumed["id"])[-1][1]["state"], "completed")
        with open(os.path.join(self.work, "resumed.BAL"), "rb") as a, open(self.reference, "rb") as b:
            self.assertTrue(a.read() == b.read(), "an interrupted and resumed walk measures the same balloon")

    def call_raw(self, method, path, body=None, token=True, raw=None, content_type="application/json"):
        data = raw if raw is not None else (None if body is None else json.dumps(body).encode())
        request = urllib.request.Request(ApiTest.server.url + path, data=data, method=method)
        if token:
            request.add_header("Authorization", "Bearer " + ApiTest.server.token)
        if data is not None:
            request.add_header("Content-Type", content_type)
        try:
            with urllib.request.urlopen(request) as answer:
                return answer.status, answer.headers.get("Content-Type", ""), answer.read()
        except urllib.error.HTTPError as error:
            return error.code, error.headers.get("Content-Type", ""), error.read()

    def test_z_every_operation_answers_as_declared(self):
        """Every operation of the served document, answered as it declares (last: the walks and
        balloons of the other tests are there)."""
        server = ApiTest.server
        status, kind, raw = self.call_raw("GET", "/openapi.json")
        doc = json.loads(raw)
        operations = {}
        for path, item in doc["paths"].items():
            for method, op in item.items():
                if method != "parameters":
                    operations[op["operationId"]] = (method.upper(), path, op)
        cases = openapi_cases(server)
        self.assertEqual(sorted(operations), sorted({c[0] for c in cases}), "every operation is tried")
        latest = None
        for operation, method, path, body, raw_body, token, expected in cases:
            if latest is not None:
                path = path.replace("LATEST", str(latest))
            with self.subTest(operation=operation, method=method, path=path, status=expected):
                declared_method, template, op = operations[operation]
                self.assertEqual(method, declared_method)
                pattern = "^" + re.sub(r"\\{[a-z]+\\}", "[^/]+", re.escape(template)) + "$"
                self.assertRegex(path, pattern)
                status, kind, answer = self.call_raw(method, path, body, token, raw_body)
                self.assertEqual(status, expected, answer[:300])
                response = follow(doc, op["responses"].get(str(status)))
                self.assertIsNotNone(response, "status %d is declared" % status)
                media = kind.split(";")[0].strip()
                self.assertIn(media, response["content"], "declared media type")
                if media == "application/json":
                    value = json.loads(answer)
                    why = mismatch(doc, response["content"][media]["schema"], value)
                    self.assertIsNone(why, why)
                    if operation == "startWalk" and status == 202:
                        latest = value["id"]
        for _ in range(300):
            if json.loads(urllib.request.urlopen(server.url).read())["state"] == "idle":
                break
            time.sleep(0.1)


def follow(doc, node):
    """The node a "$ref" points at, followed until it is none."""
    while isinstance(node, dict) and "$ref" in node:
        target = doc
        for part in node["$ref"].lstrip("#/").split("/"):
            target = target[part]
        node = target
    return node


def mismatch(doc, schema, value, where="answer"):
    """Why value does not have the schema (a subset of OpenAPI's: type, nullable, enum, required,
    properties, items and their counts, minimum, maximum, oneOf), or None. An object whose schema
    lists its properties holds no others: an answer says nothing its document does not."""
    schema = follow(doc, schema)
    if value is None:
        return None if schema.get("nullable") else "%s is null" % where
    if "oneOf" in schema:
        return None if any(mismatch(doc, s, value, where) is None for s in schema["oneOf"]) else "%s fits no oneOf" % where
    kind = schema.get("type")
    types = {"object": dict, "array": list, "string": str, "boolean": bool}
    if kind in types and not isinstance(value, types[kind]):
        return "%s is not %s" % (where, kind)
    if kind in ("integer", "number"):
        if isinstance(value, bool) or not isinstance(value, (int, float)):
            return "%s is not a number" % where
        if kind == "integer" and value != int(value):
            return "%s is not whole" % where
        if value < schema.get("minimum", value) or value > schema.get("maximum", value):
            return "%s = %s out of range" % (where, value)
    if "enum" in schema and value not in schema["enum"]:
        return "%s = %r not in %r" % (where, value, schema["enum"])
    if kind == "object":
        for name in schema.get("required", []):
            if name not in value:
                return "%s lacks %s" % (where, name)
        properties = schema.get("properties")
        for name, item in value.items():
            if properties is None:
                continue
            if name not in properties:
                return "%s.%s is not declared" % (where, name)
            why = mismatch(doc, properties[name], item, where + "." + name)
            if why:
                return why
    if kind == "array":
        if not schema.get("minItems", 0) <= len(value) <= schema.get("maxItems", len(value)):
            return "%s has %d items" % (where, len(value))
        for i, item in enumerate(value):
            why = mismatch(doc, schema.get("items", {}), item, "%s[%d]" % (where, i))
            if why:
                return why
    return None


def openapi_cases(server):
    """(operationId, method, path, body, raw, token, status) for every operation: its success and
    its refusals."""
    walks = json.loads(urllib.request.urlopen(server.url + "/walks").read())["walks"]
    done = [w for w in walks if w.get("balloonId")][-1]
    balloon = done["balloonId"]
    move = {"degrees": 1}
    golden = {"golden": balloon, "order": 13, "bands": [{"fromHz": 200, "toHz": 2000, "toleranceDb": 1}]}
    return [
        ("info", "GET", "/", None, None, True, 200),
        ("openapi", "GET", "/openapi.json", None, None, True, 200),
        ("turntables", "GET", "/turntables", None, None, True, 200),
        ("move", "POST", "/turntables/1/moves", move, None, True, 200),
        ("move", "POST", "/turntables/1/moves", {"degrees": -1}, None, True, 200),
        ("move", "POST", "/turntables/2/moves", {"degrees": 0}, None, True, 400),
        ("move", "POST", "/turntables/2/moves", move, None, False, 401),
        ("move", "POST", "/turntables/3/moves", move, None, True, 404),
        ("walks", "GET", "/walks", None, None, True, 200),
        ("startWalk", "POST", "/walks", {"order": 12}, None, True, 400),
        ("startWalk", "POST", "/walks", {}, None, False, 401),
        ("startWalk", "POST", "/walks", {"order": 13, "file": "openapi.BAL"}, None, True, 202),
        ("startWalk", "POST", "/walks", {"order": 13}, None, True, 409),
        ("move", "POST", "/turntables/1/moves", move, None, True, 409),
        ("measure", "POST", "/measurements", {}, None, True, 409),
        ("abortWalk", "DELETE", "/walks/LATEST", None, None, False, 401),
        ("abortWalk", "DELETE", "/walks/LATEST", None, None, True, 202),
        ("abortWalk", "DELETE", "/walks/9999", None, None, True, 404),
        ("walkEvents", "GET", "/walks/LATEST/events", None, None, True, 200),
        ("walkEvents", "GET", "/walks/9999/events", None, None, True, 404),
        ("walk", "GET", "/walks/%d" % done["id"], None, None, True, 200),
        ("walk", "GET", "/walks/9999", None, None, True, 404),
        ("walkBalloon", "GET", "/walks/%d/balloon" % done["id"], None, None, True, 200),
        ("walkBalloon", "GET", "/walks/9999/balloon", None, None, True, 404),
        ("balloons", "GET", "/balloons", None, None, True, 200),
        ("addBalloon", "POST", "/balloons", {"path": done["file"]}, None, True, 201),
        ("addBalloon", "POST", "/balloons", {"path": "../x.BAL"}, None, True, 400),
        ("addBalloon", "POST", "/balloons", {"path": done["file"]}, None, False, 401),
        ("balloon", "GET", "/balloons/%d" % balloon, None, None, True, 200),
        ("balloon", "GET", "/balloons/9999", None, None, True, 404),
        ("balloonFile", "GET", "/balloons/%d/file" % balloon, None, None, True, 200),
        ("balloonFile", "GET", "/balloons/9999/file", None, None, True, 404),
        ("export", "GET", "/balloons/%d/exports/clf" % balloon, None, None, True, 200),
        ("export", "GET", "/balloons/%d/exports/wav" % balloon, None, None, True, 400),
        ("export", "GET", "/balloons/9999/exports/clf", None, None, True, 404),
        ("measure", "POST", "/measurements", {"order": 13}, None, True, 200),
        ("measure", "POST", "/measurements", {"order": 19}, None, True, 400),
        ("measure", "POST", "/measurements", {}, None, False, 401),
        ("check", "POST", "/checks", golden, None, True, 200),
        ("check", "POST", "/checks", {"golden": balloon}, None, True, 400),
        ("check", "POST", "/checks", golden, None, False, 401),
    ]


if __name__ == "__main__":
    CLI, SOURCE = sys.argv[1], sys.argv[2]
    unittest.main(argv=[sys.argv[0], "-v"])
