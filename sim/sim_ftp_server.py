#!/usr/bin/python3
"""The FTP side of pelmora-printer-sim's network mode.

Usage: sim_ftp_server.py PORT ADDR=FOLDER [ADDR=FOLDER ...]

Serves every ADDR on PORT (0: any free port) in one event loop, anonymous login with
write permission into its FOLDER. Prints "ready" and the bound port of every listener,
in order, on one line; then "INDEX PATH" for every file received in full, before the
client hears that the transfer is complete, so the simulator has it by the time the
client's upload returns. The simulator applies and removes the files; a broken upload
is removed here.
"""

import logging
import os
import sys
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.ioloop import AsyncChat, IOLoop
from pyftpdlib.log import config_logging
from pyftpdlib.servers import FTPServer


# Several sessions share one event loop here. A channel that has handed its socket on
# (an active-mode connector) or closes late must not unregister a newer channel that
# the kernel gave the same file descriptor: that channel's events would stop and its
# upload would hang.
def _del_own_channel(self, map=None):
    if self._fileno is not None and self.ioloop.socket_map.get(self._fileno) is self:
        self.ioloop.unregister(self._fileno)


AsyncChat.del_channel = _del_own_channel


def announce(index, path):
    sys.stdout.write("%d %s\n" % (index, path))
    sys.stdout.flush()


class UploadDTPHandler(DTPHandler):
    announced = False

    def close(self):
        if (not self._closed and not self.announced and self.receive
                and self.transfer_finished and self.file_obj is not None):
            self.announced = True
            self.file_obj.flush()
            announce(self.cmd_channel.printer_index, self.file_obj.name)
        DTPHandler.close(self)


class UploadHandler(FTPHandler):
    dtp_handler = UploadDTPHandler
    printer_index = -1

    def on_incomplete_file_received(self, file):
        try:
            os.remove(file)
        except OSError:
            pass


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    port = int(argv[1])
    # Anonymous writers are the point here; say only what goes wrong.
    warnings.simplefilter("ignore")
    config_logging(level=logging.WARNING)
    ioloop = IOLoop()
    ports = []
    for index, printer in enumerate(argv[2:]):
        address, folder = printer.split("=", 1)
        authorizer = DummyAuthorizer()
        authorizer.add_anonymous(folder, perm="elradfmw")
        handler = type("UploadHandler%d" % index, (UploadHandler,),
                       {"authorizer": authorizer, "printer_index": index})
        server = FTPServer((address, port), handler, ioloop=ioloop)
        ports.append(server.socket.getsockname()[1])
    sys.stdout.write("ready %s\n" % " ".join(str(p) for p in ports))
    sys.stdout.flush()
    ioloop.loop(timeout=1.0, blocking=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
