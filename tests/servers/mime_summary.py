#!/usr/bin/python3
"""Describes a MIME message as JSON, parsed by Python's own email package.

The tests check what the component sends through this independent parser
rather than by searching the raw text: header values come back decoded
(RFC 2047), file names decoded (RFC 2231), and every leaf part's content
decoded from its transfer encoding.

Used as a module by smtp_server.py, or run on a file:
    mime_summary.py MESSAGE.eml   (prints the JSON description)
"""

import base64
import email
import email.policy
import email.utils
import json
import sys


def _describe_part(part, depth, parts):
    entry = {
        "depth": depth,
        "content_type": part.get_content_type(),
        "charset": part.get_content_charset() or "",
        "transfer_encoding": str(part.get("Content-Transfer-Encoding", "")),
        "disposition": part.get_content_disposition() or "",
        "filename": part.get_filename() or "",
        "content_id": str(part.get("Content-ID", "")),
        "defects": [type(defect).__name__ for defect in part.defects],
    }
    parts.append(entry)
    if part.is_multipart():
        for child in part.iter_parts():
            _describe_part(child, depth + 1, parts)
        return
    payload = part.get_payload(decode=True) or b""
    entry["base64"] = base64.b64encode(payload).decode("ascii")
    if part.get_content_maintype() == "text":
        entry["text"] = part.get_content()


ADDRESS_HEADERS = ("From", "To", "Cc", "Bcc", "Reply-To", "Disposition-Notification-To")


def _addresses(message):
    """Display name and address of every mailbox of the address headers."""
    found = {}
    for name in ADDRESS_HEADERS:
        for value in message.get_all(name, []):
            if hasattr(value, "addresses"):
                mailboxes = [[box.display_name, box.addr_spec] for box in value.addresses]
            else:  # a header the email package does not know as an address header
                mailboxes = [list(pair) for pair in email.utils.getaddresses([str(value)])]
            found.setdefault(name.lower(), []).extend(mailboxes)
    return found


def summarize(raw):
    """The JSON-ready description of the message in `raw` (bytes)."""
    message = email.message_from_bytes(raw, policy=email.policy.default)
    parts = []
    _describe_part(message, 0, parts)
    return {
        "headers": [[name, str(value)] for name, value in message.items()],
        "raw_headers": [[name, value] for name, value in message.raw_items()],
        "addresses": _addresses(message),
        "parts": parts,
        "ascii_only": all(byte < 128 for byte in raw),
    }


def main():
    if len(sys.argv) != 2:
        print("usage: mime_summary.py MESSAGE.eml", file=sys.stderr)
        return 2
    with open(sys.argv[1], "rb") as source:
        summary = summarize(source.read())
    sys.stdout.buffer.write(json.dumps(summary, ensure_ascii=False).encode("utf-8"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
