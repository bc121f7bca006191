#!/usr/bin/env python3
"""A local stand-in for the share service's anonymous note API.

  share_stub.py --port N --cert PEM --key PEM --log FILE --notes FILE
                [--ready FILE] [--lifetime SECONDS]

Listens over HTTPS on 127.0.0.1:N. A POST to
/webapp/json/weiyunShareNoLogin/WeiyunShareView is answered with the note
whose share key the request body carries (the last path segment of the share
link), in the service's JSON shape:
  {"ret":0,"data":{"rsp_header":{"retcode":0},
   "rsp_body":{"RspMsg_body":{"note_list":[{"html_content":HTML}]}}}}
An unknown key gets retcode 114200 and no note list. Every other path gets 404.

--notes names a JSON file {"KEY": "HTML", ...} (UTF-8).

Every request is appended to --log as one JSON line:
  {"method":..., "target":..., "headers":[[name, value], ...], "body":...}
written and flushed before the answer goes out, so a test reading the log
after the answer sees the request.

--ready: a file written with the port once the socket accepts connections.
--lifetime: the stub ends by itself after this many seconds (default 600).
"""
import argparse
import http.server
import json
import re
import socketserver
import ssl
import sys
import threading

API_PATH = "/webapp/json/weiyunShareNoLogin/WeiyunShareView"
KEY_PATTERN = re.compile(r'\\"share_key\\":\\"([^\\"]*)\\"')


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "share-stub"
    sys_version = ""

    def log_message(self, fmt, *args):  # the request log replaces stderr lines
        pass

    def record(self, body):
        entry = {
            "method": self.command,
            "target": self.path,
            "headers": [[k, v] for k, v in self.headers.items()],
            "body": body.decode("utf-8", "replace"),
        }
        with self.server.log_lock:
            with open(self.server.log_path, "a", encoding="utf-8") as f:
                f.write(json.dumps(entry, ensure_ascii=False) + "\n")
                f.flush()

    def read_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        return self.rfile.read(length) if length > 0 else b""

    def answer(self, status, payload, content_type="application/json;charset=utf-8"):
        data = payload.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(data)

    def handle_any(self):
        body = self.read_body()
        self.record(body)
        if self.path.split("?", 1)[0] != API_PATH or self.command != "POST":
            self.answer(404, "<html><body><h1>404 Not Found</h1></body></html>", "text/html")
            return
        match = KEY_PATTERN.search(body.decode("utf-8", "replace"))
        key = match.group(1) if match else ""
        note = self.server.notes.get(key)
        if note is None:
            reply = {"ret": 0, "data": {"rsp_header": {"retcode": 114200, "retmsg": "share not found"},
                                        "rsp_body": {}}}
        else:
            reply = {"ret": 0, "data": {"rsp_header": {"retcode": 0},
                                        "rsp_body": {"RspMsg_body": {
                                            "share_key": key,
                                            "note_list": [{"note_title": key, "html_content": note}]}}}}
        self.answer(200, json.dumps(reply, ensure_ascii=False))

    do_GET = do_POST = do_HEAD = do_PUT = do_DELETE = do_OPTIONS = handle_any


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--cert", required=True)
    p.add_argument("--key", required=True)
    p.add_argument("--log", required=True)
    p.add_argument("--notes", required=True)
    p.add_argument("--ready")
    p.add_argument("--lifetime", type=float, default=600)
    a = p.parse_args()

    with open(a.notes, encoding="utf-8") as f:
        notes = json.load(f)
    server = Server(("127.0.0.1", a.port), Handler)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(a.cert, a.key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    server.notes = notes
    server.log_path = a.log
    server.log_lock = threading.Lock()
    open(a.log, "a").close()
    if a.ready:
        with open(a.ready, "w") as f:
            f.write("%d\n" % server.server_address[1])
    timer = threading.Timer(a.lifetime, server.shutdown)
    timer.daemon = True
    timer.start()
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
