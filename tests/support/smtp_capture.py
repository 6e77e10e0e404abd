#!/usr/bin/python3
"""A mail server for the tests, on 127.0.0.1 only: every message it takes is written, parsed, as
one JSON file into the folder given. Prints "PORT n" once it listens; runs until killed.

    smtp_capture.py DIR [--refuse ADDRESS] [--login USER:PASSWORD]
"""
import argparse
import asyncio
import email
import email.header
import email.policy
import itertools
import json
import os
import warnings

from aiosmtpd.smtp import SMTP, AuthResult

sessions = itertools.count(1)
messages = itertools.count(1)


class Capture:
    def __init__(self, folder, refuse):
        self.folder = folder
        self.refuse = refuse

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.refuse:
            return "550 5.1.1 mailbox unavailable"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content or envelope.content
        msg = email.message_from_bytes(raw, policy=email.policy.default)
        record = {
            "session": session.number,
            "from": envelope.mail_from,
            "to": envelope.rcpt_tos,
            "raw_headers": raw.split(b"\r\n\r\n", 1)[0].decode("ascii", "replace"),
            "header_from": str(msg["From"]),
            "header_to": str(msg["To"]),
            "subject": str(msg["Subject"]),
            "date": str(msg["Date"] or ""),
            "message_id": str(msg["Message-ID"] or ""),
            "body": msg.get_content(),
        }
        n = next(messages)
        path = os.path.join(self.folder, "%06d.json" % n)
        with open(path + ".part", "w", encoding="utf-8") as f:
            json.dump(record, f, ensure_ascii=False)
        os.rename(path + ".part", path)
        return "250 Message accepted"


def main():
    warnings.simplefilter("ignore")
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--refuse", action="append", default=[])
    parser.add_argument("--login")
    args = parser.parse_args()
    handler = Capture(args.folder, set(args.refuse))

    def authenticate(server, session, envelope, mechanism, auth_data):
        user, _, password = args.login.partition(":")
        ok = auth_data.login.decode() == user and auth_data.password.decode() == password
        return AuthResult(success=ok)

    def factory():
        kwargs = {}
        if args.login:
            # PLAIN only: a client refused once has no other way to try, as with most servers.
            kwargs = dict(authenticator=authenticate, auth_required=True, auth_require_tls=False,
                          auth_exclude_mechanism=["LOGIN"])
        smtp = SMTP(handler, hostname="capture.test", **kwargs)
        return smtp

    loop = asyncio.new_event_loop()

    def protocol():
        smtp = factory()
        number = next(sessions)
        original = smtp.connection_made

        def made(transport):
            original(transport)
            smtp.session.number = number

        smtp.connection_made = made
        return smtp

    server = loop.run_until_complete(loop.create_server(protocol, host="127.0.0.1", port=0))
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    main()
