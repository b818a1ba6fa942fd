// A TLS front for a local HTTP server, as someone who intercepts a server's traffic would put
// one up: it answers https:// on 127.0.0.1 with the certificate it is given and passes each
// connection on, decrypted, to the server behind it. Node.js alone, no package.
//
//   node tls-front.js CERT KEY PORT
//
// Prints "listening on PORT" once it takes connections.
"use strict";

const fs = require("fs");
const net = require("net");
const tls = require("tls");

const [cert, key, target] = process.argv.slice(2);
const options = { cert: fs.readFileSync(cert), key: fs.readFileSync(key) };
const server = tls.createServer(options, (client) => {
    const upstream = net.connect(Number(target), "127.0.0.1");
    const end = () => {
        client.destroy();
        upstream.destroy();
    };
    client.on("error", end);
    upstream.on("error", end);
    client.pipe(upstream).pipe(client);
});
// A client that refuses the certificate ends its connection during the handshake.
server.on("tlsClientError", () => {});
server.listen(0, "127.0.0.1", () => console.log(`listening on ${server.address().port}`));
