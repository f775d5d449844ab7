# Reads a Prometheus text exposition on stdin with the reference parser (Debian
# python3-prometheus-client) and prints its samples as JSON; a text it cannot parse ends with
# exit code 1 and the parser's complaint.
import json
import sys

from prometheus_client.parser import text_string_to_metric_families

samples = []
for family in text_string_to_metric_families(sys.stdin.read()):
    for sample in family.samples:
        samples.append({"family": family.name, "type": family.type, "name": sample.name,
                        "labels": sample.labels, "value": sample.value})
print(json.dumps(samples))
