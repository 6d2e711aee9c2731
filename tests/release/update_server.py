"""The update tests' web server on 127.0.0.1: the files of ROOT, and, as
ROOT/mode says for the next requests, a package cut short ("cut": its
length announced, half of it sent, the connection closed) or a feed never
answered ("silent": the request read, nothing sent).
    python3 update_server.py PORT ROOT"""

import http.server
import os
import sys
import time


class Handler(http.server.SimpleHTTPRequestHandler):
    def mode(self):
        try:
            with open(os.path.join(self.directory, "mode")) as file:
                return file.read().strip()
        except OSError:
            return ""

    def do_GET(self):
        mode = self.mode()
        if mode == "silent" and self.path.endswith(".update"):
            time.sleep(3600)
            return
        if mode == "cut" and self.path.endswith(".msi"):
            with open(os.path.join(self.directory, self.path.lstrip("/")), "rb") as file:
                data = file.read()
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            self.wfile.write(data[:len(data) // 2])
            self.wfile.flush()
            self.close_connection = True
            return
        super().do_GET()

    def log_message(self, *arguments):
        pass


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True


if __name__ == "__main__":
    root = sys.argv[2]
    Server(("127.0.0.1", int(sys.argv[1])),
           lambda *a, **k: Handler(*a, directory=root, **k)).serve_forever()
