CREATE INDEX tests_part_started ON tests (part_number, started_at, id, status)
CREATE INDEX point_results_forces ON point_results (test_id, point_no, force, lower, upper)
