"""A loopback SMTP server for the mail tests.

Listens on 127.0.0.1 on a free port, prints the port on stdout, writes one
line per command it handled to the file named by the first argument (the
command and its argument in hexadecimal), and runs until it is killed. With
--refuse-helo it answers HELO with 550.
"""

import asyncio
import sys

from aiosmtpd.smtp import SMTP


class Recorder:
    def __init__(self, path, refuse_helo):
        self.out = open(path, "w", encoding="ascii")
        self.refuse_helo = refuse_helo

    def note(self, command, argument=""):
        if isinstance(argument, str):
            argument = argument.encode("utf-8", "surrogateescape")
        self.out.write(command + " " + argument.hex() + "\n")
        self.out.flush()

    async def handle_HELO(self, server, session, envelope, hostname):
        self.note("HELO", hostname)
        if self.refuse_helo:
            return "550 HELO refused"
        session.host_name = hostname
        return "250 test"

    async def handle_RSET(self, server, session, envelope):
        self.note("RSET")
        return "250 OK"

    async def handle_MAIL(self, server, session, envelope, address, options):
        self.note("MAIL", address)
        envelope.mail_from = address
        return "250 OK"

    async def handle_RCPT(self, server, session, envelope, address, options):
        self.note("RCPT", address)
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.note("DATA", envelope.original_content)
        return "250 Accepted"

    async def handle_QUIT(self, server, session, envelope):
        self.note("QUIT")
        return "221 Bye"


async def main():
    recorder = Recorder(sys.argv[1], "--refuse-helo" in sys.argv[2:])
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: SMTP(recorder, hostname="test", decode_data=False), "127.0.0.1", 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    await server.serve_forever()


asyncio.run(main())
