"""A local FTP server for tests and benchmarks: one user, one root folder, 127.0.0.1 on a free port.

Prints "port N" once it listens, then serves until its standard input closes (so it never
outlives the process that started it).
"""
import argparse
import logging
import os
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    args = parser.parse_args()

    # The server logs nothing: its debug output trips over aborted transfers and only adds noise.
    logging.disable(logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    server = FTPServer(("127.0.0.1", 0), handler)

    def stop_when_parent_goes():
        sys.stdin.read()
        os._exit(0)

    threading.Thread(target=stop_when_parent_goes, daemon=True).start()
    print("port", server.address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
