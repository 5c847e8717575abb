#!/usr/bin/env python3
"""A printer's upload page for the upload test.

printer_server.py MODE REPORT [PORT]: listens on 127.0.0.1:PORT (by default a free port the system picks),
answers every request as MODE says, and writes what it received (method, path, headers, each form part's headers
and bytes) as JSON to REPORT. It prints "ready PORT" once listening and exits after a few requests or seconds.
"""
import base64
import email.parser
import email.policy
import json
import socket
import sys
import threading
from http.server import BaseHTTPRequestHandler, HTTPServer

SENTENCES = [
    "SUCCESS. Data were written to the machine.",
    "FAILURE. Data were't written to the machine.",
    "Data size is too large.",
    "Characters can't be inserted.",
    "Registration data limit exceeds",
]

MODE = sys.argv[1]
REPORT = sys.argv[2]
PORT = int(sys.argv[3]) if len(sys.argv) > 3 else 0
requests = []


def page(body):
    return ("<html><head><title>Upload</title></head><body><p>%s</p></body></html>" % body).encode("utf-8")


def parse_parts(content_type, body):
    message = email.parser.BytesParser(policy=email.policy.HTTP).parsebytes(
        b"Content-Type: " + content_type.encode("latin-1") + b"\r\n\r\n" + body)
    parts = []
    if not message.is_multipart():
        return parts
    for part in message.iter_parts():
        parts.append({
            "headers": {k: str(v) for k, v in part.items()},
            "name": part.get_param("name", header="content-disposition"),
            "filename_raw": part.get("Content-Disposition", ""),
            "content_type": part.get_content_type(),
            "body_b64": base64.b64encode(part.get_payload(decode=True) or b"").decode("ascii"),
        })
    return parts


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length) if length else b""
        entry = {
            "method": "POST",
            "path": self.path,
            "headers": {k: v for k, v in self.headers.items()},
            "parts": parse_parts(self.headers.get("Content-Type", ""), body),
        }
        requests.append(entry)
        with open(REPORT, "w") as out:
            json.dump(requests, out)
        if MODE == "close":
            self.close_connection = True
            self.connection.shutdown(socket.SHUT_RDWR)
            return
        if MODE == "unauthorized":
            self.reply(401, page("Unauthorized"), {"WWW-Authenticate": 'Basic realm="printer"'})
            return
        if MODE.startswith("sentence"):
            content = page("Result: " + SENTENCES[int(MODE[len("sentence"):])])
        elif MODE == "first":
            content = SENTENCES[0].encode("utf-8")
        elif MODE == "both":
            content = page(SENTENCES[1] + " " + SENTENCES[0])
        else:
            content = page("Nothing to say.")
        self.reply(200, content, {})

    def reply(self, status, content, headers):
        self.send_response(status)
        self.send_header("Content-Type", "text/html; charset=utf-8")
        self.send_header("Content-Length", str(len(content)))
        for key, value in headers.items():
            self.send_header(key, value)
        self.end_headers()
        self.wfile.write(content)


def main():
    try:
        server = HTTPServer(("127.0.0.1", PORT), Handler)
    except OSError as error:
        print("port %d is taken: %s" % (PORT, error), flush=True)
        sys.exit(3)
    with open(REPORT, "w") as out:
        json.dump(requests, out)
    timer = threading.Timer(20.0, server.shutdown)
    timer.daemon = True
    timer.start()
    print("ready %d" % server.server_address[1], flush=True)
    server.timeout = 0.5
    thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.1})
    thread.start()
    thread.join()


if __name__ == "__main__":
    main()
