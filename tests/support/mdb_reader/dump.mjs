// Prints what the npm package mdb-reader reads from Access files, for Corvanta's tests.
//   node dump.mjs FILE PASSWORD TABLE [FILE PASSWORD TABLE ...]
// Each triple is one request; an empty PASSWORD means none. An empty TABLE asks for the user
// table names as the reader lists them, one per line; a TABLE name asks for its column names as
// a JSON array, then one JSON array per row: dates as {"date": ISO text}, binary values as
// {"hex": "..."}, big integers as {"bigint": "..."}, other values as the reader gives them.
// Every request's answer starts with a line "\x1eok" or "\x1efailed"; a failed request's answer
// is the reader's message.
import MDBReader from "mdb-reader";
import { readFileSync } from "node:fs";

function valueText(value) {
    if (value instanceof Date) return { date: value.toISOString() };
    if (Buffer.isBuffer(value)) return { hex: value.toString("hex") };
    if (typeof value === "bigint") return { bigint: value.toString() };
    return value;
}

function answer(file, password, tableName) {
    const reader = new MDBReader(readFileSync(file), password ? { password } : {});
    if (!tableName) return reader.getTableNames();
    const table = reader.getTable(tableName);
    const names = table.getColumnNames();
    const lines = [JSON.stringify(names)];
    for (const row of table.getData()) {
        lines.push(JSON.stringify(names.map((name) => valueText(row[name]))));
    }
    return lines;
}

const args = process.argv.slice(2);
if (args.length === 0 || args.length % 3 !== 0) {
    process.stderr.write("usage: dump.mjs FILE PASSWORD TABLE [FILE PASSWORD TABLE ...]\n");
    process.exit(2);
}
const out = [];
for (let index = 0; index < args.length; index += 3) {
    try {
        const lines = answer(args[index], args[index + 1], args[index + 2]);
        out.push("\x1eok", ...lines);
    } catch (error) {
        out.push("\x1efailed", String(error.message).replace(/\n/g, " "));
    }
}
process.stdout.write(out.map((line) => line + "\n").join(""));
