"""A crash server for the tests: pyftpdlib on a free loopback port, printed on its first line;
each TYPE command the client gives follows on a line of its own ("TYPE I").

Usage: ftp_server.py ROOT PERMISSIONS   (pyftpdlib's permission letters, e.g. "elradfmw")
"""
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

ACCOUNT = "RiruvezEruvaRi"



class Handler(FTPHandler):
    def ftp_TYPE(self, line):
        print("TYPE", line, flush=True)
        return super().ftp_TYPE(line)


authorizer = DummyAuthorizer()
authorizer.add_user(ACCOUNT, ACCOUNT, sys.argv[1], perm=sys.argv[2])
Handler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.address[1], flush=True)
server.serve_forever(timeout=0.5)
