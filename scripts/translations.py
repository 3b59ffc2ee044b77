#!/usr/bin/python3
"""Keeps suite/translations/mrv_<lang>.ts in step with the Italian texts of
the sources: texts found in src/ and suite/app/ are added (unfinished, so
that they show in Italian until translated), translations already made are
kept, texts no longer found are marked vanished. Usage:
    scripts/translations.py [LANG]      (default: en)
    scripts/translations.py --check     exit 1 when a text has no translation

The texts a user sees are the literals of the windows and the component's
messages; SQL, configuration keys, file names, icon keys and the
developers' own English (Failure texts, warnings) are left out."""
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

ROOT = pathlib.Path(__file__).resolve().parent.parent
SOURCES = [ROOT / "src", ROOT / "suite" / "app"]
CONTEXT = "mrv"

DEVELOPER_LINE = re.compile(r"Failure\(|qWarning|qDebug|qCritical|fprintf|throw |Q_ASSERT|#include|static_assert")
SQL = re.compile(r"\b(SELECT|UPDATE|INSERT|DELETE|WHERE|FROM|CREATE|DROP|EXEC)\b")
ITALIAN_WORDS = {"al", "alla", "che", "con", "da", "dei", "del", "della", "di", "gli", "il", "la", "le", "lo", "nel",
                 "nella", "non", "per", "su", "un", "una"}
# Words that look Italian to the rule below and are not texts of a window.
# The reply and forward prefixes of a subject are stored with it, never translated.
NOT_TEXTS = {"Importance", "Save", "Tahoma", "Arial", "Verdana", "R: ", "I: ", "Parse", "Formula"}
# The descriptions that pick a template recipient's address or fax number are
# keys of the suite's address rows (WBDES, NRDES), matched as stored.
NOT_TEXTS |= {"@ Principale", "@ Ufficio", "@ Amministrazione", "@ Magazzino", "@ Privata", "Altro Fax"}
# Texts too short for the rule: labels of message headers, recipient boxes.
LABELS = re.compile(r"[A-Z][a-z]?: ")
SHORT_TEXTS = {"A", "Cc", "Ccn", "Email"}
ENGLISH_WORDS = {"the", "is", "are", "of", "to", "and", "was", "no", "not", "be", "has", "have", "could", "cannot",
                 "this", "these", "there", "with", "for", "from", "or", "an", "one"}
IDENTIFIER = re.compile(r"[^ ]*([_#{<>]|[a-z][A-Z])[^ ]*|[A-Z][a-z]?(acute|grave|tilde|circ|uml)")
ESCAPES = {'\\"': '"', "\\\\": "\\", "\\n": "\n", "\\r": "\r", "\\t": "\t"}


def literals(line):
    """The string literals of a line of C++ (not character literals)."""
    found, i = [], 0
    while i < len(line):
        if line.startswith("//", i):
            break
        if line[i] == "'":
            i = line.find("'", i + 2 if line[i + 1:i + 2] == "\\" else i + 1) + 1 or len(line)
            continue
        if line[i] == '"':
            j, text = i + 1, []
            while j < len(line) and line[j] != '"':
                if line[j] == "\\" and j + 1 < len(line):
                    text.append(ESCAPES.get(line[j:j + 2], line[j:j + 2]))
                    j += 2
                else:
                    text.append(line[j])
                    j += 1
            found.append("".join(text))
            i = j + 1
            continue
        i += 1
    return found


def italian(text):
    """Source texts are Italian; the developers' own texts are English."""
    if text in NOT_TEXTS:
        return False
    if LABELS.fullmatch(text) or text in SHORT_TEXTS:
        return True
    if "\\" in text or SQL.search(text) or not re.search(r"[a-zà-ù]", text):
        return False
    if IDENTIFIER.fullmatch(text) or text.startswith("printf "):
        return False
    if re.search(r"[à-ùÀ-Ù]", text):
        return True
    words = re.findall(r"[A-Za-z']+", text.replace("&", ""))
    if any(word.lower() in ITALIAN_WORDS for word in words):
        return True
    if re.search(r"\b(l|dell|all|nell|dall|sull|un)'", text):
        return True
    return (bool(words) and words[0][0].isupper() and words[0][-1] in "aeiou"
            and not any(word.lower() in ENGLISH_WORDS for word in words))


def source_texts():
    texts = {}
    for folder in SOURCES:
        for path in sorted(folder.rglob("*.cpp")) + sorted(folder.rglob("*.h")):
            # A text written as adjacent literals over several lines is one text.
            source = re.sub(r'"\n\s*"', "", path.read_text(encoding="utf-8"))
            for number, line in enumerate(source.splitlines(), 1):
                if DEVELOPER_LINE.search(line):
                    continue
                for text in literals(line):
                    if italian(text):
                        texts.setdefault(text, f"{path.relative_to(ROOT)}:{number}")
    return texts


def load(ts_path):
    if not ts_path.exists():
        return {}
    messages = {}
    for message in ET.parse(ts_path).getroot().iter("message"):
        translation = message.find("translation")
        messages[message.findtext("source")] = translation
    return messages


def write(ts_path, lang, texts, old):
    root = ET.Element("TS", version="2.1", language=lang, sourcelanguage="it")
    context = ET.SubElement(root, "context")
    ET.SubElement(context, "name").text = CONTEXT
    for source in sorted(set(texts) | set(old)):
        message = ET.SubElement(context, "message")
        if source in texts:
            ET.SubElement(message, "location", filename=texts[source].split(":")[0],
                          line=texts[source].split(":")[1])
        ET.SubElement(message, "source").text = source
        translation = ET.SubElement(message, "translation")
        previous = old.get(source)
        translation.text = previous.text if previous is not None else None
        if source not in texts:
            translation.set("type", "vanished")
        elif previous is None or not previous.text or previous.get("type") == "unfinished":
            translation.set("type", "unfinished")
    ET.indent(root)
    # A CR written as it is would reach lrelease as LF (XML reads CR LF as
    # LF) and the text would no longer match its source.
    ts_path.write_text('<?xml version="1.0" encoding="utf-8"?>\n<!DOCTYPE TS>\n'
                       + ET.tostring(root, encoding="unicode").replace("\r", "&#13;") + "\n", encoding="utf-8")


def main():
    check = "--check" in sys.argv
    args = [a for a in sys.argv[1:] if a != "--check"]
    lang = args[0] if args else "en"
    ts_path = ROOT / "suite" / "translations" / f"mrv_{lang}.ts"
    texts = source_texts()
    old = load(ts_path)
    if check:
        missing = [t for t in texts if old.get(t) is None or not old[t].text or old[t].get("type")]
        for text in missing:
            print(f"{texts[text]}: no translation: {text}")
        return 1 if missing else 0
    write(ts_path, lang, texts, old)
    done = sum(1 for t in texts if old.get(t) is not None and old[t].text and not old[t].get("type"))
    print(f"{ts_path.relative_to(ROOT)}: {len(texts)} texts, {done} translated")
    return 0


if __name__ == "__main__":
    sys.exit(main())
