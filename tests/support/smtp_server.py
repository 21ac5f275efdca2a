"""SMTP server for the mail tests: receives on 127.0.0.1 and writes what it got into a folder.

Usage: smtp_server.py OUTDIR [--refuse-login] [--refuse-rcpt ADDRESS] [--close-in-data]

--refuse-rcpt answers RCPT TO for ADDRESS with "550 5.1.1 No such user"; --close-in-data closes the
connection once the message's bytes have come, without the final reply.

Prints "READY <port>" once it listens. For every message n (from 1) it writes msg-n.eml (the bytes
after DATA), msg-n.json (envelope plus the message as Python's email package reads it) and the
attachments as att-n-k.bin; every AUTH attempt is appended to auth.json. Runs until killed or until
its standard input closes.
"""

import email
import email.policy
import json
import os
import socket
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Recorder:
    def __init__(self, outdir, refuse_login, refuse_rcpt=None, close_in_data=False):
        self.outdir = outdir
        self.refuse_login = refuse_login
        self.refuse_rcpt = refuse_rcpt
        self.close_in_data = close_in_data
        self.count = 0
        self.logins = []

    def authenticate(self, server, session, envelope, mechanism, auth_data):
        self.logins.append({
            "mechanism": mechanism,
            "login": auth_data.login.decode("windows-1251"),
            "password": auth_data.password.decode("windows-1251"),
        })
        with open(os.path.join(self.outdir, "auth.json"), "w", encoding="utf-8") as f:
            json.dump(self.logins, f, ensure_ascii=False)
        return AuthResult(success=not self.refuse_login, handled=False)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address == self.refuse_rcpt:
            return "550 5.1.1 No such user"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        if self.close_in_data:
            server.transport.abort()
            return "421 closing"
        self.count += 1
        n = self.count
        raw = envelope.content
        with open(os.path.join(self.outdir, f"msg-{n}.eml"), "wb") as f:
            f.write(raw)
        msg = email.message_from_bytes(raw, policy=email.policy.default)
        body = msg.get_body(preferencelist=("plain",))
        attachments = []
        for k, part in enumerate(msg.iter_attachments(), start=1):
            name = f"att-{n}-{k}.bin"
            with open(os.path.join(self.outdir, name), "wb") as f:
                f.write(part.get_payload(decode=True))
            attachments.append({"filename": part.get_filename(), "file": name,
                                "encoding": part.get("Content-Transfer-Encoding", "")})
        summary = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "from": str(msg.get("From", "")),
            "to": str(msg.get("To", "")),
            "cc": str(msg.get("Cc", "")),
            "subject": str(msg.get("Subject", "")),
            "content_type": msg.get_content_type(),
            "charset": body.get_content_charset() if body else None,
            "encoding": body.get("Content-Transfer-Encoding", "") if body else None,
            "text": body.get_content() if body else None,
            "attachments": attachments,
            "defects": [type(d).__name__ for p in msg.walk() for d in p.defects],
        }
        with open(os.path.join(self.outdir, f"msg-{n}.json"), "w", encoding="utf-8") as f:
            json.dump(summary, f, ensure_ascii=False)
        return "250 OK"


def main():
    outdir = sys.argv[1]
    options = sys.argv[2:]
    refuse_rcpt = options[options.index("--refuse-rcpt") + 1] if "--refuse-rcpt" in options else None
    recorder = Recorder(outdir, "--refuse-login" in options, refuse_rcpt, "--close-in-data" in options)
    port = free_port()
    controller = Controller(recorder, hostname="127.0.0.1", port=port, decode_data=False,
                            authenticator=recorder.authenticate, auth_require_tls=False)
    controller.start()
    print(f"READY {port}", flush=True)
    try:
        sys.stdin.read()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
