#!/usr/bin/python3
"""A local mail server for the e-mail channel's tests, on loopback only.

  smtp_sim.py MODE OUTDIR

MODE is starttls (plain, then STARTTLS required before MAIL), tls (TLS from the first byte,
as smtps://) or plain (no STARTTLS offered at all). It requires the login "bot" / "pw-1".
First it makes a throw-away CA (OUTDIR/ca.pem, for the client to trust) and a certificate for
127.0.0.1 signed by it, with the openssl command. It writes its port to OUTDIR/port once it
listens, and every accepted message, decoded the way a mail reader would, to OUTDIR/mail-N.txt:
the subject, an empty line, the text body.
"""

import asyncio
import email
import email.policy
import pathlib
import ssl
import subprocess
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def make_certificates(out: pathlib.Path) -> None:
    def openssl(*args):
        subprocess.run(["openssl", *args], cwd=out, check=True, capture_output=True)

    ec = ["-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"]
    openssl("req", "-x509", *ec, "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=jilan-test-ca")
    openssl("req", *ec, "-keyout", "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1")
    (out / "server.ext").write_text("subjectAltName=IP:127.0.0.1\n")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext")


def main() -> None:
    mode, out = sys.argv[1], pathlib.Path(sys.argv[2])
    make_certificates(out)
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(out / "server.pem", out / "server.key")
    count = 0

    class Handler:
        async def handle_DATA(self, server, session, envelope):
            nonlocal count
            count += 1
            message = email.message_from_bytes(envelope.content, policy=email.policy.default)
            text = message["subject"] + "\n\n" + message.get_content()
            (out / f"mail-{count}.txt").write_text(text, encoding="utf-8")
            return "250 OK"

    def login(server, session, envelope, mechanism, data):
        ok = isinstance(data, LoginPassword) and (data.login, data.password) == (b"bot", b"pw-1")
        return AuthResult(success=ok)

    def protocol():
        return SMTP(
            Handler(),
            tls_context=context if mode == "starttls" else None,
            require_starttls=mode == "starttls",
            authenticator=login,
            auth_required=mode != "plain",
            # Over implicit TLS the connection is already private; aiosmtpd only knows STARTTLS.
            auth_require_tls=mode == "starttls",
        )

    async def serve():
        loop = asyncio.get_running_loop()
        server = await loop.create_server(
            protocol, "127.0.0.1", 0, ssl=context if mode == "tls" else None
        )
        port = server.sockets[0].getsockname()[1]
        (out / "port.tmp").write_text(str(port))
        (out / "port.tmp").rename(out / "port")
        await server.serve_forever()

    asyncio.run(serve())


if __name__ == "__main__":
    main()
