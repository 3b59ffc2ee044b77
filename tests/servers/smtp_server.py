#!/usr/bin/python3
"""An SMTP server on loopback for the tests, on Debian's python3-aiosmtpd.

Every message received is written into --folder as NNNN.eml (as received)
and then NNNN.json (the envelope and the message parsed by mime_summary.py).
TLS modes use a throwaway certificate for localhost, made as cert.pem in
--folder. Prints "READY <port>" on a line of its own once it listens. With
--user/--password a login is required (LOGIN, PLAIN or CRAM-MD5); with
--token too, XOAUTH2 is offered and takes --user with that access token.
Faults: greeting-421 (every connection), reject-rcpt (550 for
--fault-recipient), drop-data (hangs up after DATA's first line),
close-after-data (hangs up once a message is accepted), silent (never
answers), reject-auth (refuses every login).
"""

import argparse
import asyncio
import base64
import binascii
import hmac
import itertools
import json
import logging
import secrets
import ssl
import subprocess
import sys
import warnings
from pathlib import Path

try:
    from aiosmtpd.smtp import MISSING, SMTP, AuthResult, LoginPassword, auth_mechanism
except ImportError:
    print("python3-aiosmtpd is not installed", file=sys.stderr)
    sys.exit(3)

import mime_summary

ALL_MECHANISMS = ("LOGIN", "PLAIN", "CRAM-MD5", "XOAUTH2")


def parse_arguments():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--folder", required=True, type=Path)
    tls = parser.add_mutually_exclusive_group()
    tls.add_argument("--starttls", action="store_true")
    tls.add_argument("--implicit-tls", action="store_true")
    for option in ("--user", "--password", "--token", "--fault-recipient"):
        parser.add_argument(option, default="")
    parser.add_argument("--fault", choices=("greeting-421", "reject-rcpt", "drop-data", "close-after-data", "silent",
                                            "reject-auth"))
    return parser.parse_args()


def tls_context(options):
    if not (options.starttls or options.implicit_tls):
        return None
    cert, key = options.folder / "cert.pem", options.folder / "key.pem"
    subprocess.run(
        ["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days",
         "2", "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1", "-keyout", str(key),
         "-out", str(cert)],
        check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(cert, key)
    return context


class Recorder:
    """The handler: accepts or refuses recipients and logins, and writes what arrives."""

    def __init__(self, options):
        self.options = options
        self.numbers = itertools.count(1)

    def credentials_valid(self, user, password):
        return (self.options.fault != "reject-auth" and user == self.options.user.encode()
                and password == self.options.password.encode())

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if self.options.fault == "reject-rcpt" and address.lower() == self.options.fault_recipient.lower():
            return f"550 5.1.1 <{address}>: Recipient address rejected: User unknown"
        envelope.rcpt_tos.append(address)
        return "250 2.1.5 OK"

    async def handle_DATA(self, server, session, envelope):
        number = next(self.numbers)
        base = self.options.folder / f"{number:04d}"
        base.with_suffix(".eml").write_bytes(envelope.original_content)
        record = mime_summary.summarize(envelope.original_content)
        record["envelope"] = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "connection": server.connection_number,
            "tls": server.transport.get_extra_info("cipher") is not None,
            "auth_user": session.auth_data.login.decode() if session.authenticated else "",
        }
        # Written before the answer, so that a client told "queued" finds the
        # message whole, and renamed into place, so that a test reading while
        # messages arrive never finds half of one.
        partial = base.with_suffix(".json.partial")
        partial.write_text(json.dumps(record, ensure_ascii=False), encoding="utf-8")
        partial.replace(base.with_suffix(".json"))
        return f"250 2.0.0 Ok: queued as {number:04d}"

    @auth_mechanism("CRAM-MD5")
    async def auth_CRAM_MD5(self, server, args):
        challenge = f"<{secrets.token_hex(8)}@localhost>".encode()
        response = await server.challenge_auth(challenge)
        if response is MISSING:
            return AuthResult(success=False, handled=True)
        user, _, digest = response.rpartition(b" ")
        expected = hmac.new(self.options.password.encode(), challenge, "md5").hexdigest().encode()
        valid = self.credentials_valid(user, self.options.password.encode()) and hmac.compare_digest(digest, expected)
        return AuthResult(success=valid, handled=False, auth_data=LoginPassword(user, b""))

    @auth_mechanism("XOAUTH2")
    async def auth_XOAUTH2(self, server, args):
        # The initial response comes with AUTH (SASL-IR) or after an empty challenge.
        if len(args) > 1:
            try:
                response = base64.b64decode(args[1], validate=True)
            except binascii.Error:
                return AuthResult(success=False, handled=False)
        else:
            response = await server.challenge_auth(b"", encode_to_b64=False)
            if response is MISSING:
                return AuthResult(success=False, handled=True)
        fields = dict(field.split(b"=", 1) for field in response.split(b"\x01") if b"=" in field)
        user, bearer = fields.get(b"user", b""), fields.get(b"auth", b"")
        valid = (self.options.fault != "reject-auth" and bool(self.options.token)
                 and user == self.options.user.encode() and bearer == b"Bearer " + self.options.token.encode())
        return AuthResult(success=valid, handled=False, auth_data=LoginPassword(user, b""))

    def authenticate(self, server, session, envelope, mechanism, auth_data):
        # handled=False lets aiosmtpd answer 535 itself; with handled=True a
        # refused client would wait for an answer that never comes.
        valid = self.credentials_valid(auth_data.login, auth_data.password)
        return AuthResult(success=valid, handled=False, auth_data=auth_data)


class TestSMTP(SMTP):
    """aiosmtpd's SMTP with connection numbers and the faults it can play."""

    connection_numbers = itertools.count(1)

    def __init__(self, handler, fault, **settings):
        super().__init__(handler, **settings)
        self.fault = fault
        self.connection_number = next(self.connection_numbers)

    async def _handle_client(self):
        if self.fault == "greeting-421":
            await self.push("421 4.3.2 Service not available, closing transmission channel")
            self.transport.close()
        elif self.fault == "silent":
            await asyncio.sleep(3600)
        else:
            await super()._handle_client()

    async def smtp_DATA(self, arg):
        if self.fault != "drop-data" or not self.envelope.rcpt_tos:
            await super().smtp_DATA(arg)
            if self.fault == "close-after-data":
                self.transport.close()
            return
        await self.push("354 End data with <CR><LF>.<CR><LF>")
        await self._reader.readline()
        self.transport.close()


def smtp_factory(options, context):
    recorder = Recorder(options)
    settings = dict(
        hostname="localhost",
        ident="mrv test server",
        tls_context=context if options.starttls else None,
        auth_required=bool(options.user),
        # Implicit TLS is not STARTTLS to aiosmtpd, so it would refuse AUTH there.
        auth_require_tls=False,
        auth_exclude_mechanism=[] if options.user and options.token else
        ["XOAUTH2"] if options.user else list(ALL_MECHANISMS),
        authenticator=recorder.authenticate,
    )
    return lambda: TestSMTP(recorder, options.fault, **settings)


async def serve(options):
    context = tls_context(options)
    server = await asyncio.get_running_loop().create_server(
        smtp_factory(options, context), "127.0.0.1", 0, ssl=context if options.implicit_tls else None)
    print(f"READY {server.sockets[0].getsockname()[1]}", flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    # aiosmtpd warns about settings that are deliberate here (AUTH without
    # TLS, its deprecated login_data); errors still show.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    arguments = parse_arguments()
    arguments.folder.mkdir(parents=True, exist_ok=True)
    try:
        asyncio.run(serve(arguments))
    except KeyboardInterrupt:
        pass
