"""Message capture for the test SMTP server (aiosmtpd).

As a handler class for aiosmtpd's own command line:
    python3 -m aiosmtpd -n -l 127.0.0.1:PORT -c smtp_capture.CaptureHandler FOLDER
(or smtp_capture.SilentAfterDataHandler: a server that captures the message and then goes silent)
As a server that requires a login over plain text (aiosmtpd's command line has no option for it):
    python3 -m smtp_capture --listen 127.0.0.1:PORT --folder FOLDER --login USER --password PASS

Each accepted message becomes FOLDER/NNNN.json: the envelope, the raw bytes as received (after
dot-unstuffing) and what Python's own e-mail parser reads from them, so the tests compare the
sender's output with an independent decoder. The file is complete before the server answers the
end of DATA, so a client that got its 250 can read it at once.
"""

import argparse
import asyncio
import base64
import email
import email.policy
import email.utils
import json
import logging
import os
import warnings
from functools import partial

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def _addresses(header):
    if header is None:
        return []
    return [[a.display_name, a.addr_spec] for a in header.addresses]


def _parsed(raw):
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    date = msg["Date"]
    body = msg.get_body(preferencelist=("plain",))
    return {
        "subject": str(msg["Subject"]) if msg["Subject"] is not None else None,
        "from": _addresses(msg["From"]),
        "to": _addresses(msg["To"]),
        "date_epoch": email.utils.parsedate_to_datetime(str(date)).timestamp() if date else None,
        "message_id": str(msg["Message-ID"]) if msg["Message-ID"] else None,
        "header_names": list(msg.keys()),
        "body_utf8": base64.b64encode(body.get_content().encode("utf-8")).decode() if body else None,
    }


class CaptureHandler:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    @classmethod
    def from_cli(cls, parser, *args):
        if len(args) != 1:
            parser.error("CaptureHandler needs one argument: the capture folder")
        return cls(args[0])

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": list(envelope.rcpt_tos),
            "login": session.auth_data.login.decode() if isinstance(session.auth_data, LoginPassword) else None,
            "raw": base64.b64encode(raw).decode(),
        }
        try:
            record.update(_parsed(raw))
        except Exception as e:  # a message Python cannot read is itself a test finding
            record["parse_error"] = repr(e)
        self.count += 1
        final = os.path.join(self.folder, "%04d.json" % self.count)
        with open(final + ".part", "w", encoding="utf-8") as f:
            json.dump(record, f)
        os.replace(final + ".part", final)
        return "250 OK"


class SilentAfterDataHandler(CaptureHandler):
    """Takes the message, then never answers its end, nor anything after it (QUIT included)."""

    async def handle_DATA(self, server, session, envelope):
        await super().handle_DATA(server, session, envelope)
        await asyncio.sleep(3600)
        return "250 OK"


def _authenticator(login, password, server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data == LoginPassword(login.encode(), password.encode())
    # handled=False makes the server answer a refusal with its standard 535 reply.
    return AuthResult(success=ok, handled=ok, auth_data=auth_data if ok else None)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--listen", required=True)
    parser.add_argument("--folder", required=True)
    parser.add_argument("--login", required=True)
    parser.add_argument("--password", required=True)
    args = parser.parse_args()
    host, port = args.listen.rsplit(":", 1)
    # The plain-text login is what this server is for; keep its warnings out of the test output.
    warnings.simplefilter("ignore")
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    factory = partial(
        SMTP,
        CaptureHandler(args.folder),
        authenticator=partial(_authenticator, args.login, args.password),
        auth_required=True,
        auth_require_tls=False,
    )
    loop = asyncio.new_event_loop()
    loop.run_until_complete(loop.create_server(factory, host=host, port=int(port)))
    loop.run_forever()


if __name__ == "__main__":
    main()
