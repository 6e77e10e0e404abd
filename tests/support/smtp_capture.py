#!/usr/bin/python3
"""A mail server for the tests, on 127.0.0.1 only: every message it takes is written, parsed, as
one JSON file into the folder given. Each login attempt adds a line "tls" or "clear" to auth.txt
there. Prints "PORT n" once it listens; runs until killed.

    smtp_capture.py DIR [--refuse ADDRESS] [--login USER:PASSWORD] [--tls CERT KEY]
                        [--implicit-tls] [--refuse-starttls] [--slow SECONDS]
                        [--after-data ADDRESS=REPLY] [--drop-after-data ADDRESS] [--silent]

--tls offers STARTTLS with the certificate; --implicit-tls speaks TLS from the start instead;
--refuse-starttls answers 454 to STARTTLS; --slow waits before answering MAIL; --after-data
answers REPLY (such as "554 5.7.1 refused") to the message for ADDRESS and keeps nothing;
--drop-after-data closes the connection instead of answering; --silent never greets.
"""
import argparse
import asyncio
import email
import email.header
import email.policy
import itertools
import json
import os
import ssl
import warnings

from aiosmtpd.smtp import SMTP, AuthResult

sessions = itertools.count(1)
messages = itertools.count(1)


class Capture:
    def __init__(self, args):
        self.folder = args.folder
        self.refuse = set(args.refuse)
        self.slow = args.slow
        self.after_data = dict(item.split("=", 1) for item in args.after_data)
        self.drop = set(args.drop_after_data)

    async def handle_MAIL(self, server, session, envelope, address, mail_options):
        if self.slow:
            await asyncio.sleep(self.slow)
        envelope.mail_from = address
        envelope.mail_options.extend(mail_options)
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.refuse:
            return "550 5.1.1 mailbox unavailable"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        for address in envelope.rcpt_tos:
            if address in self.drop:
                server.transport.abort()
                return "250 OK"
            if address in self.after_data:
                return self.after_data[address]
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
            "tls": bool(session.ssl),
        }
        n = next(messages)
        path = os.path.join(self.folder, "%06d.json" % n)
        with open(path + ".part", "w", encoding="utf-8") as f:
            json.dump(record, f, ensure_ascii=False)
        os.rename(path + ".part", path)
        return "250 Message accepted"


class RefusingStartTls(SMTP):
    async def smtp_STARTTLS(self, arg):
        await self.push("454 4.7.0 TLS not available due to temporary reason")


class Silent(asyncio.Protocol):
    def connection_made(self, transport):
        self.transport = transport  # held open, never answered


def main():
    warnings.simplefilter("ignore")
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("--refuse", action="append", default=[])
    parser.add_argument("--login")
    parser.add_argument("--tls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--implicit-tls", action="store_true")
    parser.add_argument("--refuse-starttls", action="store_true")
    parser.add_argument("--slow", type=float, default=0)
    parser.add_argument("--after-data", action="append", default=[])
    parser.add_argument("--drop-after-data", action="append", default=[])
    parser.add_argument("--silent", action="store_true")
    args = parser.parse_args()
    handler = Capture(args)

    context = None
    if args.tls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.tls[0], args.tls[1])

    def authenticate(server, session, envelope, mechanism, auth_data):
        with open(os.path.join(args.folder, "auth.txt"), "a") as f:
            f.write("tls\n" if session.ssl else "clear\n")
        user, _, password = args.login.partition(":")
        ok = auth_data.login.decode() == user and auth_data.password.decode() == password
        return AuthResult(success=ok)

    def factory():
        kwargs = {}
        if args.login:
            # PLAIN only: a client refused once has no other way to try, as with most servers.
            kwargs = dict(authenticator=authenticate, auth_required=True, auth_require_tls=False,
                          auth_exclude_mechanism=["LOGIN"])
        if context is not None and not args.implicit_tls:
            kwargs["tls_context"] = context
        kind = RefusingStartTls if args.refuse_starttls else SMTP
        return kind(handler, hostname="capture.test", **kwargs)

    loop = asyncio.new_event_loop()

    def protocol():
        if args.silent:
            return Silent()
        smtp = factory()
        number = next(sessions)
        original = smtp.connection_made

        def made(transport):
            original(transport)
            smtp.session.number = number
            if args.implicit_tls:
                smtp.session.ssl = transport.get_extra_info("cipher") or True

        smtp.connection_made = made
        return smtp

    server = loop.run_until_complete(loop.create_server(
        protocol, host="127.0.0.1", port=0, ssl=context if args.implicit_tls else None))
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    main()
