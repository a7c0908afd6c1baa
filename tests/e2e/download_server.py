#!/usr/bin/env python3
"""The local download server of the tests: HTTPS on a loopback address, serving downloads/<name> from a
folder as the real download server does, with faults that a test injects per package.

Faults (--fault NAME=KIND, repeatable):
  missing404   status 404 with the server's "404" error page
  missing200   status 200 whose body is that error page
  reset        headers and half of the body, then the connection is reset
  resetonce    the same for the first request of the package; later ones are answered whole
  slow         the body in pieces of 1 KiB, 20 ms apart
  crawl        the body in pieces of 1 KiB, 400 ms apart (a package still coming in seconds later)
  wrongdigest  the package's published digest (NAME.sha256) is that of other bytes
  corrupt      one byte in the middle of the body is changed (the published digest stays right)
Every package is published with its SHA-256 digest as downloads/<name>.sha256, "HEX  NAME" as sha256sum
writes it (a .sha256 file in the folder is served as it is); --no-digests publishes none.
A package that is not in the folder is answered with status 404 and the error page. A refused connection
is a server that does not run; a certificate of another name is the server started with --cert other.pem.
A request with "Range: bytes=N-" is answered with status 206 and the bytes from N (416 beyond the end).
--rate KIB holds the packages' bodies to that many KiB per second over all connections together, as one
WAN link between a site and its download server would.
Every request is recorded in --log as one line: method, path, Accept header, and its Range header if any. The server never listens
beyond loopback and ends by itself after --lifetime seconds. As HTTP/1.1 servers must, it also takes the
absolute form of a request target ("https://host/downloads/<name>"), which Wine's WinHTTP sends through a
proxy's tunnel.
"""
import argparse
import hashlib
import http.server
import ipaddress
import os
import socket
import ssl
import struct
import sys
import threading
import time
import urllib.parse

ERROR_PAGE = (b"<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\n<html><head>\n"
              b"<title>404 Not Found</title>\n</head><body>\n<h1>Not Found</h1>\n"
              b"<p>The requested URL was not found on this server.</p>\n</body></html>\n")
CHUNK = 1 << 16
# The faults that send the body in pieces of 1 KiB, and the pause after each piece (seconds).
PIECE_PAUSES = {"slow": 0.02, "crawl": 0.4}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "NembricTestDownloads/1.0"

    def log_message(self, *args):
        pass

    def record(self):
        with self.server.log_lock, open(self.server.request_log, "a", encoding="utf-8") as log:
            line = f"{self.command} {self.path} Accept={self.headers.get('Accept', '')}"
            if self.headers.get("Range"):
                line += f" Range={self.headers['Range']}"
            log.write(line + "\n")

    def send_page(self, status, body):
        self.send_response(status)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def send_digest(self, package):
        path = os.path.join(self.server.root, package)
        if self.server.no_digests or not os.path.isfile(path):
            self.send_page(404, ERROR_PAGE)
            return
        digest = hashlib.sha256()
        if self.server.faults.get(package) == "wrongdigest":
            digest.update(b"not the published package")
        else:
            with open(path, "rb") as source:
                for block in iter(lambda: source.read(CHUNK), b""):
                    digest.update(block)
        body = f"{digest.hexdigest()}  {package}\n".encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def do_HEAD(self):
        # What a GET of a package would answer, without its body: a check asks for the size alone.
        self.record()
        name = urllib.parse.urlsplit(self.path).path[len("/downloads/"):]
        path = os.path.join(self.server.root, name)
        if not self.path.startswith("/downloads/") or not name or "/" in name or "\\" in name \
                or name in (".", "..") or not os.path.isfile(path) \
                or self.server.faults.get(name) == "missing404":
            self.send_response(404)
            self.send_header("Content-Length", str(len(ERROR_PAGE)))
            self.end_headers()
            return
        self.send_response(200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(os.path.getsize(path)))
        self.end_headers()

    def do_GET(self):
        self.record()
        prefix = "/downloads/"
        target = self.path
        if target.startswith(("http://", "https://")):
            target = urllib.parse.urlsplit(target).path
        name = target[len(prefix):] if target.startswith(prefix) else ""
        # Only plain file names below downloads/ are served.
        if not name or "/" in name or "\\" in name or name in (".", ".."):
            self.send_page(404, ERROR_PAGE)
            return
        fault = self.server.faults.get(name)
        path = os.path.join(self.server.root, name)
        if name.endswith(".sha256") and not os.path.isfile(path):
            self.send_digest(name[:-len(".sha256")])
            return
        if fault == "missing404" or not os.path.isfile(path):
            self.send_page(404, ERROR_PAGE)
            return
        if fault == "missing200":
            self.send_page(200, ERROR_PAGE)
            return
        size = os.path.getsize(path)
        start = 0
        wanted = self.headers.get("Range", "")
        if wanted.startswith("bytes=") and wanted.endswith("-") and wanted[6:-1].isdigit():
            start = int(wanted[6:-1])
            if start >= size:
                self.send_response(416)
                self.send_header("Content-Range", f"bytes */{size}")
                self.send_header("Content-Length", "0")
                self.end_headers()
                return
        if fault == "resetonce":
            with self.server.log_lock:
                fault = "reset" if name not in self.server.reset_done else None
                self.server.reset_done.add(name)
        self.send_response(206 if start else 200)
        self.send_header("Content-Type", "application/octet-stream")
        self.send_header("Content-Length", str(size - start))
        if start:
            self.send_header("Content-Range", f"bytes {start}-{size - 1}/{size}")
        self.end_headers()
        with open(path, "rb") as package:
            package.seek(start)
            if fault == "reset":
                self.wfile.write(package.read(max(1, size // 2)))
                self.wfile.flush()
                # Let the headers and the first half arrive before the connection is reset.
                time.sleep(0.5)
                self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                self.connection.close()
                self.close_connection = True
                return
            pause = PIECE_PAUSES.get(fault)
            piece = 1024 if pause is not None else CHUNK
            offset = start
            while True:
                data = package.read(piece)
                if not data:
                    break
                middle = size // 2 - offset
                if fault == "corrupt" and 0 <= middle < len(data):
                    data = data[:middle] + bytes([data[middle] ^ 0xFF]) + data[middle + 1:]
                offset += len(data)
                self.server.link.take(len(data))
                self.wfile.write(data)
                if pause is not None:
                    self.wfile.flush()
                    time.sleep(pause)


class Link:
    """The bytes per second all connections share (a token bucket holding a tenth of a second); none: no limit."""

    def __init__(self, rate):
        self.rate = rate
        self.lock = threading.Lock()
        self.allowed_at = time.monotonic()

    def take(self, count):
        if not self.rate:
            return
        with self.lock:
            now = time.monotonic()
            self.allowed_at = max(self.allowed_at, now - 0.1) + count / self.rate
            wait = self.allowed_at - now
        if wait > 0:
            time.sleep(wait)


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", required=True, help="folder holding the packages")
    parser.add_argument("--cert", required=True, help="server certificate (PEM)")
    parser.add_argument("--key", required=True, help="its private key (PEM)")
    parser.add_argument("--bind", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=443)
    parser.add_argument("--fault", action="append", default=[], metavar="NAME=KIND")
    parser.add_argument("--lifetime", type=float, default=900, help="seconds until the server ends itself")
    parser.add_argument("--log", default=os.devnull, help="file that records every request")
    parser.add_argument("--ready", help="file written once the server listens")
    parser.add_argument("--rate", type=float, default=0, help="KiB per second over all connections (0: no limit)")
    parser.add_argument("--no-digests", action="store_true", help="publish no digests beside the packages")
    args = parser.parse_args()

    if not ipaddress.ip_address(args.bind).is_loopback:
        sys.exit(f"refusing to listen on {args.bind}: loopback only")
    faults = {}
    for item in args.fault:
        name, _, kind = item.partition("=")
        if kind not in ("missing404", "missing200", "reset", "resetonce", *PIECE_PAUSES, "wrongdigest", "corrupt"):
            sys.exit(f"unknown fault {item}")
        faults[name] = kind

    server = Server((args.bind, args.port), Handler)
    server.root, server.faults, server.request_log = args.root, faults, args.log
    server.link = Link(args.rate * 1024)
    server.log_lock = threading.Lock()
    server.no_digests = args.no_digests
    server.reset_done = set()
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(args.cert, args.key)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    timer = threading.Timer(args.lifetime, server.shutdown)
    timer.daemon = True
    timer.start()
    if args.ready:
        with open(args.ready, "w", encoding="utf-8") as ready:
            ready.write(f"{os.getpid()}\n")
    try:
        server.serve_forever()
    finally:
        server.server_close()


if __name__ == "__main__":
    main()
