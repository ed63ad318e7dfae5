"""A throw-away FTP server on a loopback address for the upload tests and the soak.

    ftp_server.py --address 127.0.0.41 --root DIR --log FILE [--user U --password P]
                  [--port 21] [--lifetime SECONDS] [--silent | --hang-on-store]
                  [--passive] [--no-rename-over | --no-rename]
                  [--drop-after BYTES | --cut-store BYTES | --fail-store]

Prints "ready" once it listens on its port (21 unless --port), then writes every command it receives to
the log, one per line after the time it came ("<unix time> CWD photos", "... PORT
127,0,0,1,...", "... STOR cam.jpg"), and "... RECEIVED <path>" for every file stored.
Passive mode is refused (and, like every command, logged), so a test can tell that the
client used an active data connection; --passive allows it. --no-rename-over refuses an
RNTO onto an existing file, as some servers do; --no-rename refuses every RNTO.
--drop-after closes the control and the data connection once a STOR has brought that
many bytes. --cut-store keeps only that many bytes of every STOR and still answers 226;
--fail-store takes the whole file and answers 426. With --silent it
accepts connections and never says a word. With --hang-on-store it takes PORT and STOR
("150") but never opens the data connection, so a client waiting for it waits for ever.
It stops by itself after --lifetime seconds.
"""
import argparse
import logging
import os
import socket
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def make_handler(log_path, hang_on_store=False, passive=False, no_rename_over=False, drop_after=0,
                 no_rename=False, cut_store=0, fail_store=False):
    lock = threading.Lock()

    def write(line):
        with lock, open(log_path, "a", encoding="utf-8", errors="replace") as log:
            log.write("%.3f %s\n" % (time.time(), line))

    class LoggingHandler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            write(f"{cmd} {arg}" if arg else cmd)
            super().pre_process_command(line, cmd, arg)

        if not passive:
            def ftp_PASV(self, line):
                self.respond("502 Passive mode refused by this test server.")

            def ftp_EPSV(self, line):
                self.respond("502 Passive mode refused by this test server.")

        if no_rename_over or no_rename:
            def ftp_RNTO(self, path):
                if no_rename or os.path.exists(path):
                    self._rnfr = None
                    self.respond("550 Will not rename onto an existing file.")
                    return None
                return super().ftp_RNTO(path)

        if hang_on_store:
            def ftp_PORT(self, line):
                self.respond("200 Active data connection established.")

            def ftp_EPRT(self, line):
                self.respond("200 Active data connection established.")

            def ftp_STOR(self, file, mode="w"):
                self.respond("150 File status okay. About to open data connection.")

        def on_file_received(self, file):
            write("RECEIVED " + os.path.relpath(file, self.authorizer.get_home_dir(self.username)))

        def on_incomplete_file_received(self, file):
            write("INCOMPLETE " + os.path.relpath(file, self.authorizer.get_home_dir(self.username)))

    if drop_after:
        class DroppingDTPHandler(DTPHandler):
            def handle_read(self):
                super().handle_read()
                if self.tot_bytes_received >= drop_after and self.cmd_channel.connected:
                    write("DROPPED")
                    self.cmd_channel.close()

            handle_read_event = handle_read

        LoggingHandler.dtp_handler = DroppingDTPHandler
    if cut_store or fail_store:
        class LyingDTPHandler(DTPHandler):
            def close(self):
                if not self._closed and self.receive and self.transfer_finished:
                    if cut_store:
                        self.file_obj.flush()
                        self.file_obj.truncate(cut_store)
                    else:
                        self._resp = ("426 Connection closed; transfer aborted.", self._resp[1])
                super().close()
        LoggingHandler.dtp_handler = LyingDTPHandler
    return LoggingHandler


def serve_ftp(args):
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    handler = make_handler(args.log, args.hang_on_store, args.passive, args.no_rename_over, args.drop_after,
                           args.no_rename, args.cut_store, args.fail_store)
    handler.authorizer = authorizer
    handler.banner = "pelmix test server"
    handler.timeout = 30
    handler.auth_failed_timeout = 0.1
    server = FTPServer((args.address, args.port), handler)
    print("ready", flush=True)
    deadline = time.monotonic() + args.lifetime
    try:
        while time.monotonic() < deadline:
            server.serve_forever(timeout=0.2, blocking=False)
    finally:
        server.close_all()


def serve_silent(args):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((args.address, args.port))
    listener.listen(16)
    listener.settimeout(0.2)
    print("ready", flush=True)
    accepted = []
    deadline = time.monotonic() + args.lifetime
    while time.monotonic() < deadline:
        try:
            conn, _ = listener.accept()
        except socket.timeout:
            continue
        accepted.append(conn)
        with open(args.log, "a", encoding="utf-8") as log:
            log.write("%.3f ACCEPTED\n" % time.time())
    for conn in accepted:
        conn.close()
    listener.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", required=True)
    parser.add_argument("--root", default=".")
    parser.add_argument("--log", required=True)
    parser.add_argument("--user", default="pelmix")
    parser.add_argument("--password", default="secret")
    parser.add_argument("--lifetime", type=float, default=120)
    parser.add_argument("--silent", action="store_true")
    parser.add_argument("--hang-on-store", action="store_true")
    parser.add_argument("--port", type=int, default=21)
    parser.add_argument("--passive", action="store_true")
    parser.add_argument("--no-rename-over", action="store_true")
    parser.add_argument("--no-rename", action="store_true")
    parser.add_argument("--drop-after", type=int, default=0)
    parser.add_argument("--cut-store", type=int, default=0)
    parser.add_argument("--fail-store", action="store_true")
    args = parser.parse_args()
    logging.basicConfig(level=logging.CRITICAL)
    if not args.address.startswith("127."):
        sys.exit("loopback addresses only")
    open(args.log, "a").close()
    if args.silent:
        serve_silent(args)
    else:
        serve_ftp(args)


if __name__ == "__main__":
    main()
