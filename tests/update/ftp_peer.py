"""An anonymous FTP server for the network update tests, on a loopback address.

Usage: ftp_peer.py ADDRESS ROOT PERM
Binds ADDRESS on a free port, prints that port on a line of its own once it listens,
and serves ROOT to the anonymous user with the permissions PERM ("elr" read-only,
"elradfmw" writable) until its standard input closes.
"""
import logging
import os
import sys
import threading
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import ThreadedFTPServer


def main():
    address, root, perm = sys.argv[1:4]
    if not address.startswith("127."):
        sys.exit("loopback addresses only")
    logging.basicConfig(level=logging.WARNING)
    warnings.simplefilter("ignore")  # a writable anonymous user is the point here
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root, perm=perm)
    handler = FTPHandler
    handler.authorizer = authorizer
    # A loop per session (threads): in one shared loop a finished active-mode session
    # can unregister a newer data connection that reuses its descriptor.
    server = ThreadedFTPServer((address, 0), handler)
    print(server.address[1], flush=True)
    # The test ends the server by closing our input, also when it dies; nothing here
    # needs an orderly shutdown.
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
