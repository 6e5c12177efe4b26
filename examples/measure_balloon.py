#!/usr/bin/env python3
"""Measure a balloon through Vantrel's HTTP interface, follow its progress, fetch the SOFA file.

Start the server first, for instance on the simulated rig:

    vantrel-cli serve --simulate --port 4747 &
    python3 examples/measure_balloon.py --order 13 --grid 10

Only the standard library is used (urllib). The token is read from the file the server
printed; without --token-file it is looked for where the server writes it.
"""
import argparse
import json
import os
import sys
import urllib.error
import urllib.parse
import urllib.request


def default_token_file(port):
    runtime = os.environ.get("XDG_RUNTIME_DIR") or "/tmp/vantrel-%d" % os.getuid()
    return os.path.join(runtime, "vantrel", "api-%d.token" % port)


class Api:
    def __init__(self, base, token):
        self.base = base.rstrip("/")
        self.token = token
        parts = urllib.parse.urlparse(self.base)
        self.origin = "%s://%s" % (parts.scheme, parts.netloc)  # the answers' links are absolute paths

    def call(self, method, path, body=None):
        """(status, decoded JSON answer) of one request."""
        data = None if body is None else json.dumps(body).encode()
        request = urllib.request.Request(self.base + path, data=data, method=method)
        request.add_header("Authorization", "Bearer " + self.token)
        if data is not None:
            request.add_header("Content-Type", "application/json")
        try:
            with urllib.request.urlopen(request) as answer:
                return answer.status, json.load(answer)
        except urllib.error.HTTPError as error:
            return error.code, json.load(error)

    def download(self, link, target):
        with urllib.request.urlopen(self.origin + link) as answer, open(target, "wb") as out:
            while True:
                block = answer.read(1 << 16)
                if not block:
                    break
                out.write(block)

    def events(self, path):
        """The Server-Sent Events of path as (event, data) pairs, until the server ends them."""
        with urllib.request.urlopen(self.base + path) as stream:
            event, data = "message", []
            for raw in stream:
                line = raw.decode().rstrip("\r\n")
                if not line:
                    if data:
                        yield event, json.loads("\n".join(data))
                    event, data = "message", []
                elif line.startswith("event:"):
                    event = line[6:].strip()
                elif line.startswith("data:"):
                    data.append(line[5:].strip())


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--url", default="http://127.0.0.1:4747/api/v1")
    parser.add_argument("--token-file")
    parser.add_argument("--order", type=int, default=13, help="MLS order, 13..18")
    parser.add_argument("--grid", type=int, default=10, help="5 or 10 degrees")
    parser.add_argument("--out-dir", default=".", help="where the balloon and SOFA files go")
    args = parser.parse_args()

    port = urllib.parse.urlparse(args.url).port or 80
    with open(args.token_file or default_token_file(port)) as f:
        api = Api(args.url, f.readline().strip())

    status, info = api.call("GET", "")
    print("server %s, %s rig, %s" % (info["version"], info["rig"]["kind"], info["state"]))
    status, walk = api.call("POST", "/walks", {"order": args.order, "grid": args.grid})
    if status != 202:
        sys.exit("walk refused (%d): %s" % (status, walk["error"]))
    print("walk %d started" % walk["id"])

    end = None
    for event, data in api.events("/walks/%d/events" % walk["id"]):
        if event == "progress":
            print("progress %d/%d: %s" % (data["done"], data["total"], data["line"]), flush=True)
        elif event == "end":
            end = data
    if not end or end["state"] != "completed":
        sys.exit("the walk did not complete: %s" % (end or "no end event"))

    status, walk = api.call("GET", "/walks/%d" % walk["id"])
    balloon = os.path.join(args.out_dir, walk["file"])
    api.download(walk["balloon"], balloon)
    print("balloon: %s" % balloon)
    sofa = os.path.splitext(balloon)[0] + ".sofa"
    api.download("/api/v1/balloons/%d/exports/sofa" % walk["balloonId"], sofa)
    print("sofa: %s" % sofa)


if __name__ == "__main__":
    main()
