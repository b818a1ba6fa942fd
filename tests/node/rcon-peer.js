// An RCON client that no one here wrote (the npm package rcon-client), for the tests of the
// game stand-in's listener.
//
//   node rcon-peer.js PORT PASSWORD [COMMAND...]
//
// Logs in on 127.0.0.1:PORT, sends each command in turn and prints one JSON line:
// {"authenticated":true,"replies":[...]} or {"authenticated":false,"error":"..."}.
"use strict";

const { Rcon } = require("rcon-client");

async function main() {
    const [port, password, ...commands] = process.argv.slice(2);
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

main().catch((error) => {
    console.error(`rcon-peer: ${error.message}`);
    process.exit(1);
});
