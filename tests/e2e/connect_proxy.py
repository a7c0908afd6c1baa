#!/usr/bin/env python3
"""A web proxy for the end-to-end tests: answers CONNECT on 127.0.0.1 and tunnels to a loopback host only,
as a company proxy in front of the download server would. Each tunnel's target is logged, one line each.
Ends itself after --lifetime seconds."""
import argparse
import pathlib
import select
import socket
import socketserver
import threading

LOOPBACK_HOSTS = {"localhost", "127.0.0.1"}


class Tunnel(socketserver.BaseRequestHandler):
    def handle(self):
        head = b""
        while b"\r\n\r\n" not in head and len(head) < 8192:
            chunk = self.request.recv(1024)
            if not chunk:
                return
            head += chunk
        request_line = head.split(b"\r\n", 1)[0].decode("latin-1")
        parts = request_line.split()
        if len(parts) != 3 or parts[0] != "CONNECT" or ":" not in parts[1]:
            self.request.sendall(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n")
            return
        host, port = parts[1].rsplit(":", 1)
        with self.server.log_lock, open(self.server.log_path, "a", encoding="utf-8") as log:
            log.write(f"CONNECT {host}:{port}\n")
        if host not in LOOPBACK_HOSTS:
            self.request.sendall(b"HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n")
            return
        try:
            upstream = socket.create_connection(("127.0.0.1", int(port)), timeout=10)
        except OSError:
            self.request.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
            return
        with upstream:
            self.request.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            rest = head.split(b"\r\n\r\n", 1)[1]
            if rest:
                upstream.sendall(rest)
            ends = [self.request, upstream]
            while True:
                readable, _, _ = select.select(ends, [], [], 60)
                if not readable:
                    return
                for end in readable:
                    data = end.recv(65536)
                    if not data:
                        return
                    (upstream if end is self.request else self.request).sendall(data)


class Server(socketserver.ThreadingTCPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=3128)
    parser.add_argument("--log", required=True)
    parser.add_argument("--ready", required=True)
    parser.add_argument("--lifetime", type=float, default=600)
    args = parser.parse_args()
    with Server(("127.0.0.1", args.port), Tunnel) as server:
        server.log_path = args.log
        server.log_lock = threading.Lock()
        timer = threading.Timer(args.lifetime, server.shutdown)
        timer.daemon = True
        timer.start()
        pathlib.Path(args.ready).touch()
        server.serve_forever()


if __name__ == "__main__":
    main()
