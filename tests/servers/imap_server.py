"""Dovecot on loopback for the run command, from the tests' configuration.

Makes a temporary folder with a certificate, a user "mario" (password
"segreto", access token "mario-access-token" for XOAUTH2) and a maildir, starts Dovecot in the foreground (as "nobody"
when run as root: its login process refuses root), puts a few messages
in the inbox through IMAP, prints "READY <port>" (plain IMAP on
127.0.0.2 and STARTTLS on 127.0.0.1 share the port) and runs until it
is terminated, then stops Dovecot and removes the folder.
"""
import argparse
import grp
import imaplib
import os
import pwd
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))

MESSAGES = [
    b"From: =?UTF-8?Q?Jos=C3=A9_P=C3=A9rez?= <jose@example.es>\r\nTo: Mario Rossi <mario@127.0.0.2>\r\n"
    b"Subject: =?ISO-8859-1?Q?Fattura_n=B0_12?=\r\nDate: Mon, 4 Mar 2024 10:15:00 +0100\r\n"
    b"Importance: high\r\nMIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"b1\"\r\n\r\n"
    b"--b1\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nBuongiorno, la fattura \xc3\xa8 in allegato.\r\n"
    b"--b1\r\nContent-Type: application/pdf; name=\"fattura.pdf\"\r\n"
    b"Content-Disposition: attachment; filename=\"fattura.pdf\"\r\nContent-Transfer-Encoding: base64\r\n\r\n"
    b"JVBERi0xLjQK\r\n--b1--\r\n",
    b"From: Anna Bianchi <anna@example.it>\r\nTo: mario@127.0.0.2\r\nSubject: Riunione di luned\xc3\xac\r\n"
    b"Date: Tue, 5 Mar 2024 09:00:00 +0100\r\nMIME-Version: 1.0\r\n"
    b"Content-Type: text/plain; charset=utf-8\r\n\r\nCi vediamo alle 10.\r\n",
]


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def run_as():
    if os.geteuid() != 0:
        return pwd.getpwuid(os.getuid()).pw_name, grp.getgrgid(os.getgid()).gr_name, os.getuid(), os.getgid()
    nobody = pwd.getpwnam("nobody")
    return "nobody", grp.getgrgid(nobody.pw_gid).gr_name, nobody.pw_uid, nobody.pw_gid


def prepare(folder, port, tls_port):
    user, group, uid, gid = run_as()
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-days", "2", "-subj", "/CN=localhost", "-keyout", os.path.join(folder, "key.pem"),
                    "-out", os.path.join(folder, "cert.pem")], check=True, capture_output=True)
    home = os.path.join(folder, "home", "mario")
    os.makedirs(home)
    with open(os.path.join(folder, "passwd"), "w") as users:
        users.write("mario:{PLAIN}segreto:%d:%d::%s\n" % (uid, gid, home))
    with open(os.path.join(folder, "tokens"), "w") as tokens:
        tokens.write("mario:{PLAIN}mario-access-token\n")
    with open(os.path.join(HERE, "dovecot.conf")) as template:
        settings = (template.read().replace("@FOLDER@", folder).replace("@USER@", user)
                    .replace("@GROUP@", group).replace("@PORT@", str(port)).replace("@TLS_PORT@", str(tls_port)))
    with open(os.path.join(folder, "dovecot.conf"), "w") as conf:
        conf.write(settings)
    os.chmod(folder, 0o755)
    for root, dirs, files in os.walk(folder):
        for name in dirs + files:
            os.chown(os.path.join(root, name), uid, gid)
    os.chown(folder, uid, gid)
    return uid, gid


def main():
    parser = argparse.ArgumentParser()
    parser.parse_args()
    folder = tempfile.mkdtemp(prefix="mrv-imap.")
    port, tls_port = free_port(), free_port()
    uid, gid = prepare(folder, port, tls_port)

    def become_user():
        if os.geteuid() == 0:
            os.setgroups([])
            os.setgid(gid)
            os.setuid(uid)

    dovecot = subprocess.Popen(["/usr/sbin/dovecot", "-F", "-c", os.path.join(folder, "dovecot.conf")],
                               preexec_fn=become_user)

    def stop(*_):
        dovecot.terminate()
        dovecot.wait(10)
        shutil.rmtree(folder, ignore_errors=True)
        sys.exit(0)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    for _ in range(100):
        try:
            client = imaplib.IMAP4("127.0.0.2", port)
            break
        except OSError:
            time.sleep(0.1)
    else:
        print("Dovecot did not start", file=sys.stderr)
        stop()
    client.login("mario", "segreto")
    for message in MESSAGES:
        client.append("INBOX", None, None, message)
    client.logout()
    print("READY %d" % port, flush=True)
    while True:
        signal.pause()


if __name__ == "__main__":
    main()
