#!/usr/bin/env python3
"""Serves the built web site on localhost, cross-origin isolated (the headers
that let the page trace on several threads), or plain with --plain, as any
static host would serve it."""
import argparse
import functools
import http.server
import os
import sys
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_SITE = os.path.join(HERE, "..", "build", "web", "site")


class SiteHandler(http.server.SimpleHTTPRequestHandler):
    isolated = True
    extensions_map = dict(http.server.SimpleHTTPRequestHandler.extensions_map,
                          **{".js": "text/javascript", ".wasm": "application/wasm", ".mjs": "text/javascript",
                             ".webmanifest": "application/manifest+json"})

    def end_headers(self):
        if self.isolated:
            self.send_header("Cross-Origin-Opener-Policy", "same-origin")
            self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        self.send_header("Cache-Control", "no-cache")
        super().end_headers()

    def bad_path(self):
        """Whether the request's path is no file name at all: a NUL or
        other control character, or bytes that are not UTF-8."""
        path = self.path.split("?", 1)[0].split("#", 1)[0]
        try:
            name = urllib.parse.unquote(path, errors="strict")
        except UnicodeDecodeError:
            return True
        return any(ord(c) < 32 or ord(c) == 127 for c in name)

    def send_head(self):
        if self.bad_path():
            self.send_error(400, "Bad request path")
            return None
        try:
            return super().send_head()
        except (ValueError, OSError):
            # what the file system refuses to look up is the request's fault
            self.send_error(400, "Bad request path")
            return None

    def log_message(self, format, *args):
        if self.server.verbose:
            super().log_message(format, *args)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--port", type=int, default=8080, help="port on localhost (default 8080; 0 picks a free one)")
    parser.add_argument("--site", default=DEFAULT_SITE, help="the built site (default build/web/site)")
    parser.add_argument("--plain", action="store_true", help="no isolation headers: the page traces on one thread")
    parser.add_argument("--verbose", action="store_true", help="log every request")
    options = parser.parse_args()
    site = os.path.abspath(options.site)
    if not os.path.isfile(os.path.join(site, "index.html")):
        sys.exit(f"serve.py: no built site in {site}: run 'cmake --preset web && cmake --build --preset web' first")
    handler = type("Handler", (SiteHandler,), {"isolated": not options.plain})
    try:
        server = http.server.ThreadingHTTPServer(("127.0.0.1", options.port),
                                                 functools.partial(handler, directory=site))
    except OSError as error:
        sys.exit(f"serve.py: cannot serve on port {options.port}: {error.strerror}; try --port N")
    server.verbose = options.verbose
    mode = "plain, one tracer thread" if options.plain else "cross-origin isolated, tracer threads on"
    print(f"Serving {site} at http://localhost:{server.server_port}/ ({mode}); Ctrl-C stops", flush=True)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
