#!/usr/bin/python3
"""Describes a MIME message as JSON, parsed by Python's own email package.

The tests check what the component sends through this independent parser
rather than by searching the raw text: header values and file names come
back decoded, and every leaf part's content decoded from its transfer
encoding. Used by smtp_server.py, or run as: mime_summary.py MESSAGE.eml
"""

import base64
import email
import email.policy
import email.utils
import json
import sys

ADDRESS_HEADERS = ("From", "To", "Cc", "Bcc", "Reply-To", "Disposition-Notification-To")


def _describe_part(part, parts):
    entry = {
        "content_type": part.get_content_type(),
        "charset": part.get_content_charset() or "",
        "disposition": part.get_content_disposition() or "",
        "filename": part.get_filename() or "",
        "content_id": str(part.get("Content-ID", "")),
        "defects": [type(defect).__name__ for defect in part.defects],
    }
    parts.append(entry)
    if part.is_multipart():
        for child in part.iter_parts():
            _describe_part(child, parts)
        return
    entry["base64"] = base64.b64encode(part.get_payload(decode=True) or b"").decode("ascii")
    if part.get_content_maintype() == "text":
        entry["text"] = part.get_content()


# The tree of content types, "multipart/mixed(text/plain,image/png)".
def _structure(part):
    if not part.is_multipart():
        return part.get_content_type()
    return f"{part.get_content_type()}({','.join(map(_structure, part.iter_parts()))})"


def _mailboxes(value):
    if hasattr(value, "addresses"):
        return [[box.display_name, box.addr_spec] for box in value.addresses]
    # a header the email package does not know as an address header
    return [list(pair) for pair in email.utils.getaddresses([str(value)])]


def summarize(raw):
    """The JSON-ready description of the message in `raw` (bytes)."""
    message = email.message_from_bytes(raw, policy=email.policy.default)
    parts = []
    _describe_part(message, parts)
    addresses = {name.lower(): [box for value in message.get_all(name, []) for box in _mailboxes(value)]
                 for name in ADDRESS_HEADERS}
    return {
        "headers": [[name, str(value)] for name, value in message.items()],
        "addresses": addresses,
        "parts": parts,
        "structure": _structure(message),
        "ascii_only": all(byte < 128 for byte in raw),
    }


if __name__ == "__main__":
    with open(sys.argv[1], "rb") as source:
        sys.stdout.buffer.write(json.dumps(summarize(source.read()), ensure_ascii=False).encode("utf-8"))
