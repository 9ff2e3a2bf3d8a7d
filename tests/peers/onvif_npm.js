// Drives the simulated ONVIF cameras with the npm package `onvif`, a client nobody here wrote,
// and prints what it saw as one JSON object; onvif_peers.sh compares that with what the
// cameras recorded. Usage: node onvif_npm.js USER PASSWORD NEW_ADDRESS
'use strict';
const onvif = require('onvif');
const [user, password, newAddress] = process.argv.slice(2);

const call = (cam, method, ...args) =>
  new Promise((resolve, reject) =>
    cam[method](...args, (err, data) => (err ? reject(new Error(`${method}: ${err.message}`)) : resolve(data))));

const probe = () =>
  new Promise((resolve, reject) =>
    onvif.Discovery.probe({ timeout: 3000, resolve: false }, (err, found) => (err ? reject(err) : resolve(found))));

const connect = (hostname) =>
  new Promise((resolve, reject) => {
    const cam = new onvif.Cam({ hostname, port: 80, username: user, password, timeout: 5000 }, (err) =>
      err ? reject(new Error(`connect ${hostname}: ${err.message}`)) : resolve(cam));
  });

async function retry(attempt, tries = 20) {
  for (let i = 1; ; ++i) {
    try {
      return await attempt();
    } catch (err) {
      if (i === tries) throw err;
      await new Promise((resolve) => setTimeout(resolve, 250));
    }
  }
}

async function main() {
  const found = await probe();
  // A match's XAddrs name the camera's device service; its host is the camera.
  const addresses = found
    .map((match) => new URL(String(match.probeMatches.probeMatch.XAddrs).split(/\s+/)[0]).hostname)
    .sort();
  const out = { discovered: addresses };
  const cam = await connect(addresses[0]);
  out.address = addresses[0];
  out.information = await call(cam, 'getDeviceInformation');
  const interfaces = await call(cam, 'getNetworkInterfaces');
  out.mac = interfaces[0].info.hwAddress;
  const token = interfaces[0].$.token;
  // Near our own clock: the package signs later calls with the offset it read at connect.
  const clock = new Date(Math.floor(Date.now() / 1000) * 1000 - 60000);
  await call(cam, 'setSystemDateAndTime', { dateTime: clock, dateTimeType: 'Manual', daylightSavings: false, timezone: 'UTC0' });
  out.clock = (await call(cam, 'getSystemDateAndTime')).toISOString();
  const changed = await call(cam, 'setNetworkInterfaces', {
    interfaceToken: token,
    networkInterface: { enabled: true, IPv4: { enabled: true, DHCP: false, manual: { address: newAddress, prefixLength: 16 } } },
  });
  out.reboot_needed = Boolean(changed && changed.rebootNeeded);
  // A camera that needs no reboot moves once it has answered: ask there until it listens.
  const moved = out.reboot_needed ? cam : await retry(() => connect(newAddress));
  out.information_after_move = await call(moved, 'getDeviceInformation');
  await call(moved, 'systemReboot');
  out.rebooted = true;
  console.log(JSON.stringify(out));
}

main().then(
  () => process.exit(0),
  (err) => {
    console.error(`onvif_npm: ${err.message}`);
    process.exit(1);
  });
