"""A hostile "ONVIF camera" on the camera LAN: it answers every WS-Discovery probe with
datagrams that are too large, too deep or carry entity declarations, and with one well-formed
match whose device service lies: lengths it never sends, a body past every bound, nesting
and entities. Runs on the camera side of the lab until killed."""
import re
import socket
import struct
import threading

HOST = "10.77.66.6"
MATCH = ('<?xml version="1.0"?><e:Envelope xmlns:e="http://www.w3.org/2003/05/soap-envelope" '
         'xmlns:a="http://schemas.xmlsoap.org/ws/2004/08/addressing" '
         'xmlns:d="http://schemas.xmlsoap.org/ws/2005/04/discovery" '
         'xmlns:dn="http://www.onvif.org/ver10/network/wsdl"><e:Header>'
         '<a:MessageID>urn:uuid:6a0c0000-0000-4000-8000-00000000{n:04d}</a:MessageID>'
         '<a:RelatesTo>{relates}</a:RelatesTo>'
         '<a:Action>http://schemas.xmlsoap.org/ws/2005/04/discovery/ProbeMatches</a:Action></e:Header>'
         '<e:Body><d:ProbeMatches><d:ProbeMatch><a:EndpointReference><a:Address>'
         'urn:uuid:bad0bad0-0000-4000-8000-0000000000{n:02d}</a:Address></a:EndpointReference>'
         '<d:Types>dn:NetworkVideoTransmitter</d:Types><d:Scopes>{scopes}</d:Scopes>'
         '<d:XAddrs>http://{host}/onvif/device_service</d:XAddrs><d:MetadataVersion>1</d:MetadataVersion>'
         '</d:ProbeMatch></d:ProbeMatches></e:Body></e:Envelope>')
BOMB = '<!DOCTYPE e [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;">]>'


def hostile_matches(relates):
    yield MATCH.format(n=1, relates=relates, scopes="onvif://www.onvif.org/x" * 2700, host=HOST)  # ~64 KiB
    yield MATCH.format(n=2, relates=relates, scopes="", host=HOST).replace("<d:Types>", "<x>" * 500 + "<d:Types>")
    yield BOMB + MATCH.format(n=3, relates=relates, scopes="&b;", host=HOST)
    yield MATCH.format(n=4, relates=relates, scopes="onvif://www.onvif.org/MAC/zz", host=HOST)  # the one to read


def discovery():
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("0.0.0.0", 3702))
    s.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP, socket.inet_aton("239.255.255.250") + socket.inet_aton("0.0.0.0"))
    out = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    out.bind((HOST, 0))
    while True:
        data, sender = s.recvfrom(65536)
        found = re.search(rb"MessageID>([^<]+)<", data)
        if not found or b"/Probe<" not in data:
            continue
        for body in hostile_matches(found.group(1).decode()):
            try:
                out.sendto(body.encode()[:65000], sender)
            except OSError:
                pass


REPLIES = [
    b"HTTP/1.1 200 OK\r\nContent-Length: 104857600\r\n\r\n<e:Envelope",  # a length it never sends
    b"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n" + b"<x>" * 100000,  # more than it says
    b"HTTP/1.1 200 OK\r\n\r\n" + b"<a>" * 2000000,  # past every bound, no length
    b"HTTP/1.1 200 OK\r\nContent-Type: application/soap+xml\r\n\r\n<?xml version='1.0'?>" + BOMB.encode() + b"<e>&b;</e>",
]


def device_service():
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((HOST, 80))
    listener.listen(64)
    n = 0
    while True:
        conn, _ = listener.accept()
        conn.settimeout(2)
        try:
            conn.recv(65536)
            conn.sendall(REPLIES[n % len(REPLIES)])
        except OSError:
            pass
        n += 1
        conn.close()


threading.Thread(target=device_service, daemon=True).start()
discovery()
