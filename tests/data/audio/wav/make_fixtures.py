#!/usr/bin/env python3
"""Writes the hand-made WAV fixtures of this folder (run it here; the files
are committed). sox_gsm.wav and sox_mulaw.wav come from sox itself:
  sox -n -r 8000 -c 1 -e gsm-full-rate sox_gsm.wav synth 2 sine 440
  sox -n -r 8000 -c 1 -e mu-law sox_mulaw.wav synth 0.5 sine 440
"""
import struct


def chunk(ckid, payload, size=None, pad=True):
    size = len(payload) if size is None else size
    body = ckid + struct.pack('<I', size) + payload
    if pad and len(payload) % 2:
        body += b'\0'
    return body


def riff(children, size=None, form=b'WAVE'):
    body = form + children
    return b'RIFF' + struct.pack('<I', len(body) if size is None else size) + body


def fmt(tag=49, channels=1, rate=8000, avg=1625, align=65, bits=0, extra=b'\x02\x00\x40\x01'):
    return struct.pack('<hhiihh', tag, channels, rate, avg, align, bits) + extra


# The recorder's own layout: 28-byte format (cbSize, ten extra bytes),
# empty fact chunk, data from offset 64.
GSM28 = fmt(extra=struct.pack('<h', 2) + b'\x40\x01' + bytes(8))
SOUND = bytes((i * 37) & 0xFF for i in range(3250))  # two seconds of GSM


def recorder(format_payload=GSM28, sound=SOUND):
    return riff(chunk(b'fmt ', format_payload) + chunk(b'fact', b'') + chunk(b'data', sound))


def pcm_canonical():
    pcm = fmt(tag=1, avg=16000, align=2, bits=16, extra=b'')
    return riff(chunk(b'fmt ', pcm) + chunk(b'data', bytes(16000)))


def write(name, content):
    with open(name, 'wb') as f:
        f.write(content)


write('ok_recorder_gsm.wav', recorder())
write('ok_pcm_canonical.wav', pcm_canonical())
write('ok_data_empty.wav', recorder(sound=b''))
write('empty.wav', b'')
write('not_riff.wav', b'This is a text file, not a recording.\n')
write('truncated_riff_header.wav', b'RIFF\x24\x00\x00\x00')
write('truncated_in_fmt.wav', pcm_canonical()[:30])
write('truncated_in_data.wav', recorder()[:64 + 1000])
write('non_wave_riff.wav', riff(chunk(b'avih', bytes(56)), form=b'AVI '))
write('no_fmt.wav', riff(chunk(b'fact', b'') + chunk(b'data', SOUND)))
write('no_data.wav', riff(chunk(b'fmt ', GSM28) + chunk(b'fact', b'')))
write('data_before_fmt.wav', riff(chunk(b'data', SOUND) + chunk(b'fmt ', GSM28)))
write('fmt_short_14.wav', recorder(format_payload=GSM28[:14]))
write('fmt_long_60.wav', recorder(format_payload=GSM28 + bytes(range(1, 33))))
write('fmt_size_huge.wav', riff(chunk(b'fmt ', GSM28, size=0xFFFFFFF0) + chunk(b'data', SOUND)))
write('zero_block_align.wav', recorder(format_payload=fmt(align=0)))
write('negative_block_align.wav', recorder(format_payload=fmt(align=-32768)))
write('zero_avg_bytes.wav', recorder(format_payload=fmt(avg=0)))
write('zero_channels.wav', recorder(format_payload=fmt(channels=0)))
write('data_size_4gib.wav',
      riff(chunk(b'fmt ', GSM28) + chunk(b'fact', b'') + chunk(b'data', SOUND, size=0xFFFFFFFF),
           size=0xFFFFFFFF))
write('data_size_too_large.wav',
      riff(chunk(b'fmt ', GSM28) + chunk(b'fact', b'') + chunk(b'data', SOUND, size=10000)))
write('riff_size_larger.wav', riff(recorder()[12:], size=100000))
write('riff_size_smaller.wav', riff(recorder()[12:], size=4))
write('riff_size_zero.wav', riff(recorder()[12:], size=0))
write('list_before_data.wav',
      riff(chunk(b'fmt ', GSM28) + chunk(b'fact', struct.pack('<I', 16000)) +
           chunk(b'LIST', b'INFO' + chunk(b'ISFT', b'Lavf59.27.100\0')) +
           chunk(b'PEAK', bytes(24)) + chunk(b'data', SOUND)))
write('odd_chunk_padded.wav',
      riff(chunk(b'fmt ', GSM28) + chunk(b'junk', b'\1\2\3\4\5') + chunk(b'data', SOUND)))
write('odd_chunk_unpadded.wav',
      riff(chunk(b'fmt ', GSM28) + chunk(b'junk', b'\1\2\3\4\5', pad=False) + chunk(b'data', SOUND)))
write('odd_data_padded.wav',
      riff(chunk(b'fmt ', GSM28) + chunk(b'data', SOUND[:3249]) + chunk(b'LIST', b'INFO')))
write('odd_data_unpadded_at_end.wav', riff(chunk(b'fmt ', GSM28) + chunk(b'data', SOUND[:3249], pad=False)))
write('fact_list_before_fmt.wav',
      riff(chunk(b'fact', struct.pack('<I', 16000)) + chunk(b'LIST', b'INFO' + chunk(b'ISFT', b'sonvel\0')) +
           chunk(b'fmt ', GSM28) + chunk(b'data', SOUND)))
# IMA ADPCM as a widely used encoder writes it: 59 blocks of 505 samples
# (3.72 s), but nAvgBytesPerSec 16000 where 4055 is right.
write('ima_wrong_avg_bytes.wav',
      riff(chunk(b'fmt ', fmt(tag=17, avg=16000, align=256, bits=4,
                              extra=struct.pack('<hh', 2, 505))) +
           chunk(b'fact', struct.pack('<I', 59 * 505)) +
           chunk(b'data', bytes((i * 37) & 0xFF for i in range(59 * 256)))))
