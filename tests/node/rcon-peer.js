// Independent RCON peers for the tests, written from Valve's description of the protocol and
// nothing of ours.
//
//   node rcon-peer.js PORT PASSWORD [COMMAND...]
//
// The client: an RCON client that no one here wrote (the npm package rcon-client), for the
// tests of the game stand-in's listener. Logs in on 127.0.0.1:PORT, sends each command in turn
// and prints one JSON line: {"authenticated":true,"replies":[...]} or
// {"authenticated":false,"error":"..."}.
//
//   node rcon-peer.js serve HABIT
//
// The server: listens on a free loopback port, prints "port N", and serves one connection with
// one of a real server's habits (see `habits` below); every password is taken. Exits 0 once the
// client has closed, 1 when the client did not do as a client should.
"use strict";

const net = require("net");

const AUTH = 3;
const AUTH_RESPONSE = 2;
const EXECCOMMAND = 2;
const RESPONSE_VALUE = 0;
const FULL = 4086; // body bytes of a packet whose size field is 4096

function packet(id, type, body) {
    const text = Buffer.from(body, "latin1");
    const bytes = Buffer.alloc(14 + text.length);
    bytes.writeInt32LE(10 + text.length, 0);
    bytes.writeInt32LE(id, 4);
    bytes.writeInt32LE(type, 8);
    text.copy(bytes, 12);
    return bytes; // the two NULs are Buffer.alloc's zeros
}

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Writes `bytes` in pieces with pauses, so that they arrive in several TCP segments.
async function inPieces(socket, bytes, size) {
    for (let at = 0; at < bytes.length; at += size) {
        socket.write(bytes.subarray(at, at + size));
        await sleep(5);
    }
}

// Each habit: what the server does once it has the login (its id) and the command (its id).
const habits = {
    plain: async (s, login, command) => {
        s.write(packet(login, AUTH_RESPONSE, ""));
        s.write(packet(await command(), RESPONSE_VALUE, "ok"));
    },
    // An empty RESPONSE_VALUE with the login's id after the login's answer.
    "stray-after-login": async (s, login, command) => {
        s.write(Buffer.concat([packet(login, AUTH_RESPONSE, ""), packet(login, RESPONSE_VALUE, "")]));
        s.write(packet(await command(), RESPONSE_VALUE, "ok"));
    },
    // Packets of ids never asked for, before the login's answer and before the command's.
    "keep-alive": async (s, login, command) => {
        s.write(Buffer.concat([packet(0, RESPONSE_VALUE, ""), packet(login, AUTH_RESPONSE, "")]));
        const id = await command();
        s.write(packet(77, RESPONSE_VALUE, "keep-alive"));
        await sleep(100);
        s.write(packet(id, RESPONSE_VALUE, "ok"));
    },
    "keep-alive-inside": async (s, login, command) => {
        s.write(packet(login, AUTH_RESPONSE, ""));
        const id = await command();
        s.write(packet(id, RESPONSE_VALUE, "a".repeat(FULL)));
        s.write(packet(0, RESPONSE_VALUE, ""));
        s.write(packet(id, RESPONSE_VALUE, "end"));
    },
    "split-with-gaps": async (s, login, command) => {
        s.write(packet(login, AUTH_RESPONSE, ""));
        const id = await command();
        await inPieces(s, packet(id, RESPONSE_VALUE, "a".repeat(FULL)), 1000);
        await sleep(200);
        await inPieces(s, packet(id, RESPONSE_VALUE, "b".repeat(FULL)), 3000);
        await sleep(200);
        await inPieces(s, packet(id, RESPONSE_VALUE, "end"), 4);
    },
    "exactly-one-full": async (s, login, command) => {
        s.write(packet(login, AUTH_RESPONSE, ""));
        s.write(packet(await command(), RESPONSE_VALUE, "f".repeat(FULL)));
    },
    "exactly-two-full": async (s, login, command) => {
        s.write(packet(login, AUTH_RESPONSE, ""));
        const id = await command();
        s.write(packet(id, RESPONSE_VALUE, "f".repeat(FULL)));
        await sleep(200);
        s.write(packet(id, RESPONSE_VALUE, "g".repeat(FULL)));
    },
    "full-then-close": async (s, login, command) => {
        s.write(packet(login, AUTH_RESPONSE, ""));
        s.write(packet(await command(), RESPONSE_VALUE, "f".repeat(FULL)));
        s.end();
    },
};

// The client's packets, one at a time, as they arrive.
function reader(socket) {
    let buffer = Buffer.alloc(0);
    const waiting = [];
    const ready = [];
    socket.on("data", (data) => {
        buffer = Buffer.concat([buffer, data]);
        while (buffer.length >= 4 && buffer.length >= 4 + buffer.readInt32LE(0)) {
            const size = buffer.readInt32LE(0);
            const p = {
                id: buffer.readInt32LE(4),
                type: buffer.readInt32LE(8),
                body: buffer.subarray(12, 4 + size - 2).toString("latin1"),
            };
            buffer = buffer.subarray(4 + size);
            if (waiting.length > 0) {
                waiting.shift()(p);
            } else {
                ready.push(p);
            }
        }
    });
    return () =>
        ready.length > 0 ? Promise.resolve(ready.shift()) : new Promise((r) => waiting.push(r));
}

function serve(habit) {
    const play = habits[habit];
    if (!play) {
        console.error(`rcon-peer: no habit ${habit}`);
        process.exit(2);
    }
    const server = net.createServer(async (socket) => {
        server.close();
        const fail = (why) => {
            console.error(`rcon-peer: ${why}`);
            process.exit(1);
        };
        const timer = setTimeout(() => fail("the client did not close"), 10000);
        socket.on("close", () => {
            clearTimeout(timer);
            process.exit(0);
        });
        socket.on("error", () => {});
        const next = reader(socket);
        const login = await next();
        if (login.type !== AUTH) {
            fail("the first packet is not a login");
        }
        const command = async () => {
            const p = await next();
            if (p.type !== EXECCOMMAND) {
                fail("not a command");
            }
            return p.id;
        };
        await play(socket, login.id, command);
    });
    server.listen(0, "127.0.0.1", () => console.log(`port ${server.address().port}`));
}

async function client(port, password, commands) {
    const { Rcon } = require("rcon-client");
    let rcon;
    try {
        rcon = await Rcon.connect({ host: "127.0.0.1", port: Number(port), password, timeout: 5000 });
    } catch (error) {
        console.log(JSON.stringify({ authenticated: false, error: error.message }));
        return;
    }
    const replies = [];
    for (const command of commands) {
        replies.push(await rcon.send(command));
    }
    await rcon.end();
    console.log(JSON.stringify({ authenticated: true, replies }));
}

const [first, ...rest] = process.argv.slice(2);
if (first === "serve") {
    serve(rest[0]);
} else {
    client(first, rest[0], rest.slice(1)).catch((error) => {
        console.error(`rcon-peer: ${error.message}`);
        process.exit(1);
    });
}
